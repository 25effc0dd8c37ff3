// Wrappers around GLUT's menu-entry calls: record, then call the real function.
#include "tests/app/menu_record.h"

#include <GL/freeglut.h>

std::vector<MenuCall> g_menuCalls;
int g_lastMainMenu = 0;
int g_lastViewMenu = 0;

bool MenuCall::operator==(const MenuCall& other) const {
  return kind == other.kind && menu == other.menu && item == other.item && label == other.label &&
         value == other.value;
}

std::ostream& operator<<(std::ostream& out, const MenuCall& call) {
  const char* kinds[] = {"add entry", "add submenu", "change entry"};
  return out << kinds[call.kind] << " on menu " << call.menu << ", item " << call.item << ", \""
             << call.label << "\", " << call.value;
}

extern "C" {
void __real_glutAddMenuEntry(const char* label, int value);
void __real_glutAddSubMenu(const char* label, int subMenu);
void __real_glutChangeToMenuEntry(int item, const char* label, int value);

void __wrap_glutAddMenuEntry(const char* label, int value) {
  g_menuCalls.push_back({MenuCall::AddEntry, glutGetMenu(), 0, label, value});
  __real_glutAddMenuEntry(label, value);
}

void __wrap_glutAddSubMenu(const char* label, int subMenu) {
  g_menuCalls.push_back({MenuCall::AddSubMenu, glutGetMenu(), 0, label, subMenu});
  g_lastMainMenu = glutGetMenu();
  g_lastViewMenu = subMenu;
  __real_glutAddSubMenu(label, subMenu);
}

void __wrap_glutChangeToMenuEntry(int item, const char* label, int value) {
  g_menuCalls.push_back({MenuCall::ChangeEntry, glutGetMenu(), item, label, value});
  __real_glutChangeToMenuEntry(item, label, value);
}
}
