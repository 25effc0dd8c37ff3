// The process guards set up at the top of main, each tried in a child process of its
// own, since they change descriptors and signal dispositions for good. No display.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/app.h"

static int g_signalToRaise = 0;  // what the child of a signal case raises (or ignores)

// Runs body in a child and returns its wait status; body reports with _exit or a signal.
static int inChild(void (*body)()) {
  fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    body();
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

static int isDevNull(int fd) {
  struct stat seen;
  struct stat devNull;
  return fstat(fd, &seen) == 0 && stat("/dev/null", &devNull) == 0 && S_ISCHR(seen.st_mode) &&
         seen.st_rdev == devNull.st_rdev;
}

TEST(ProcessGuards, ClosedStandardDescriptorsAreOpenedOntoDevNullAndOpenOnesKept) {
  int status = inChild([] {
    int keptOutput = dup(STDOUT_FILENO);
    close(STDIN_FILENO);
    close(STDERR_FILENO);
    openMissingStandardStreams();
    if (!isDevNull(STDIN_FILENO) || !isDevNull(STDERR_FILENO)) {
      _exit(1);
    }
    // The open one still leads where it did, and a new file gets a fresh descriptor.
    struct stat before;
    struct stat after;
    fstat(keptOutput, &before);
    fstat(STDOUT_FILENO, &after);
    if (before.st_ino != after.st_ino || before.st_dev != after.st_dev) {
      _exit(2);
    }
    int next = open("/dev/null", O_RDONLY);
    _exit(next > STDERR_FILENO ? 0 : 3);
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ProcessGuards, WritingToAGoneReaderFailsQuietly) {
  int status = inChild([] {
    int ends[2];
    if (pipe(ends) != 0) {
      _exit(2);
    }
    close(ends[0]);
    installSignalHandlers();
    _exit(write(ends[1], "x", 1) == -1 ? 0 : 1);
  });
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ProcessGuards, FatalSignalsEndAWindowedProgramAtOnceAndIgnoredOnesStayIgnored) {
  for (int signalNumber :
       {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGABRT, SIGRTMIN}) {
    g_signalToRaise = signalNumber;
    int status = inChild([] {
      installSignalHandlers();
      raise(g_signalToRaise);
      // Not ended: nothing waits for a tick here.
      _exit(1);
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << "signal " << signalNumber;
    EXPECT_EQ(WTERMSIG(status), signalNumber);
  }

  // Started under nohup.
  int status = inChild([] {
    signal(SIGHUP, SIG_IGN);
    installSignalHandlers();
    raise(SIGHUP);
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ProcessGuards, AStopInAWindowStopsAtOnceAndIsCaughtAgainAfterContinuing) {
  fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    // A group of its own under this process, as a shell's job: the kernel drops stop
    // signals to a group that nothing outside it in the session could continue.
    setpgid(0, 0);
    installSignalHandlers();
    raise(SIGTSTP);
    raise(SIGTSTP);
    _exit(0);
  }
  for (int stop = 0; stop < 2; stop++) {
    int status = 0;
    waitpid(child, &status, WUNTRACED);
    ASSERT_TRUE(WIFSTOPPED(status)) << "stop " << stop;
    EXPECT_EQ(WSTOPSIG(status), SIGTSTP);
    kill(child, SIGCONT);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ProcessGuards, AFatalSignalInGameModeEndsTheProgramEvenWhenNoTickComes) {
  // The main loop never gets round to it: the grace alarm ends the program with the
  // signal all the same. Started with SIGALRM ignored, one sent stays ignored, and the
  // grace alarm, the program's own, still ends it.
  for (int ignoredAtStart : {0, SIGALRM}) {
    g_signalToRaise = ignoredAtStart;
    int status = inChild([] {
      if (g_signalToRaise != 0) {
        signal(SIGALRM, SIG_IGN);
      }
      installSignalHandlers();
      if (g_signalToRaise != 0) {
        raise(SIGALRM);
      }
      noteGameMode(1);
      raise(SIGTERM);
      pause();
      _exit(1);
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << "SIGALRM ignored at start: " << ignoredAtStart;
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
  }
}
