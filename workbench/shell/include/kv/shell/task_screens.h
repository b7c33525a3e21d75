#pragma once

namespace kv::shell {

class Workbench;

// Gives the menu's task buttons the screens of the dorvel programs' libraries.
void registerTaskScreens(Workbench& wb);

} // namespace kv::shell
