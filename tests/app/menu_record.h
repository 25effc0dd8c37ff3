// The menu calls the app makes, recorded on their way to GLUT.
//
// The test executable is linked with --wrap for glutAddMenuEntry, glutAddSubMenu and
// glutChangeToMenuEntry, so the app library's calls reach the __wrap_ functions of
// menu_record.cpp, which note each call with the menu it acted on and then pass it to
// GLUT. GLUT itself offers no way to read a menu's labels back.
#ifndef AVIFOLD_TESTS_APP_MENU_RECORD_H
#define AVIFOLD_TESTS_APP_MENU_RECORD_H

#include <ostream>
#include <string>
#include <vector>

struct MenuCall {
  enum Kind { AddEntry, AddSubMenu, ChangeEntry };
  Kind kind;
  int menu;           // GLUT's current menu when the call was made
  int item;           // entry position (1..) for ChangeEntry, else 0
  std::string label;  // the label passed
  int value;          // command id, or the submenu's id for AddSubMenu

  bool operator==(const MenuCall& other) const;
};

std::ostream& operator<<(std::ostream& out, const MenuCall& call);

extern std::vector<MenuCall> g_menuCalls;  // every recorded call, oldest first
extern int g_lastMainMenu;                 // the menu the last "View" submenu was added to
extern int g_lastViewMenu;                 // the submenu that was added there

#endif
