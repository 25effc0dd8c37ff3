// The process guards set up at the top of main, each tried in a child process of its
// own, since they change descriptors and signal dispositions for good. No display.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "app/app.h"

static int g_signalToRaise = 0;  // what the child of a signal case raises

// The wait status of the child once it ends, or stops with WUNTRACED in options. One that
// has not within 10 s (five times the grace) is killed, and its status says so.
static int waitForChild(pid_t child, int options) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  int status = 0;
  while (waitpid(child, &status, options | WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "child " << child << " still running after 10 s: killed";
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return status;
    }
    usleep(1000);
  }
  return status;
}

// Runs body in a child, which reports with _exit or a signal. It has a process group of
// its own, as a shell's job: the kernel drops stop signals to a group that nothing
// outside it in the session could continue.
static pid_t forkChild(void (*body)()) {
  fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    setpgid(0, 0);
    body();
    _exit(0);
  }
  return child;
}

// The wait status of body run in a child.
static int inChild(void (*body)()) {
  return waitForChild(forkChild(body), 0);
}

// Runs body in a child and expects each stop in turn, continuing the child after it, then
// its end with 0.
static void expectStopsThenExit(std::initializer_list<int> stops, void (*body)()) {
  pid_t child = forkChild(body);
  for (int stop : stops) {
    int status = waitForChild(child, WUNTRACED);
    ASSERT_TRUE(WIFSTOPPED(status)) << "awaited stop by " << stop << ", status " << status;
    EXPECT_EQ(WSTOPSIG(status), stop);
    kill(child, SIGCONT);
  }
  int status = waitForChild(child, WUNTRACED);
  ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

static int isDevNull(int fd) {
  struct stat seen, devNull;
  return fstat(fd, &seen) == 0 && stat("/dev/null", &devNull) == 0 && S_ISCHR(seen.st_mode) &&
         seen.st_rdev == devNull.st_rdev;
}

TEST(ProcessGuards, ClosedStandardDescriptorsAreOpenedOntoDevNullAndOpenOnesKept) {
  expectStopsThenExit({}, [] {
    int keptOutput = dup(STDOUT_FILENO);
    close(STDIN_FILENO);
    close(STDERR_FILENO);
    openMissingStandardStreams();
    if (!isDevNull(STDIN_FILENO) || !isDevNull(STDERR_FILENO)) {
      _exit(1);
    }
    // The open one still leads where it did, and a new file gets a fresh descriptor.
    struct stat before, after;
    fstat(keptOutput, &before);
    fstat(STDOUT_FILENO, &after);
    if (before.st_ino != after.st_ino || before.st_dev != after.st_dev) {
      _exit(2);
    }
    int next = open("/dev/null", O_RDONLY);
    _exit(next > STDERR_FILENO ? 0 : 3);
  });
}

TEST(ProcessGuards, WritingToAGoneReaderFailsQuietly) {
  expectStopsThenExit({}, [] {
    int ends[2];
    if (pipe(ends) != 0) {
      _exit(2);
    }
    close(ends[0]);
    installSignalHandlers();
    _exit(write(ends[1], "x", 1) == -1 ? 0 : 1);
  });
}

TEST(ProcessGuards, FatalSignalsEndAWindowedProgramAtOnceAndIgnoredOnesStayIgnored) {
  for (int signalNumber :
       {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGABRT, SIGRTMIN}) {
    g_signalToRaise = signalNumber;
    int status = inChild([] {
      installSignalHandlers();
      raise(g_signalToRaise);
      _exit(1);  // not ended: nothing waits for a tick here
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << status;
  }
  // Started under nohup.
  expectStopsThenExit({}, [] {
    signal(SIGHUP, SIG_IGN);
    installSignalHandlers();
    raise(SIGHUP);
  });
}

TEST(ProcessGuards, AStopInAWindowStopsAtOnceAndIsCaughtAgainAfterContinuing) {
  expectStopsThenExit({SIGTSTP, SIGTSTP}, [] {
    installSignalHandlers();
    raise(SIGTSTP);
    raise(SIGTSTP);
  });
}

TEST(ProcessGuards, AStopInGameModeWaitsForTheLoopAndAContinueBeforeThatDropsIt) {
  expectStopsThenExit({SIGTSTP, SIGTTOU}, [] {
    installSignalHandlers();
    noteGameMode(1);
    raise(SIGTSTP);  // only noted
    int noted = takeStopInGameMode();
    noteGameMode(0);  // the loop's switch to a window
    carryOutPendingStop();
    // Continued before the loop carries it out: the stop is dropped.
    noteGameMode(1);
    raise(SIGTTIN);
    raise(SIGCONT);
    noted += takeStopInGameMode();
    carryOutPendingStop();
    // Never answered: the grace stops it all the same.
    raise(SIGTTOU);
    pause();
    _exit(noted == 2 ? 0 : 1);
  });
}

TEST(ProcessGuards, AFatalSignalInGameModeEndsTheProgramEvenWhenNoTickComes) {
  // The main loop never gets round to it: the grace ends the program with the signal all
  // the same. It takes no signal of its own: one ignored at start stays ignored.
  int status = inChild([] {
    signal(SIGALRM, SIG_IGN);
    installSignalHandlers();
    noteGameMode(1);
    raise(SIGALRM);
    raise(SIGTERM);
    pause();
    _exit(1);
  });
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
}
