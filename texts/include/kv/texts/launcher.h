#pragma once
// The launcher is one program for both editions; its texts are English in
// both texts libraries.
#include "kv/texts/text.h"

namespace kv::texts {

struct LauncherTexts {
    Text caption;
    Text title;
    Text purposeLine;  // Label2
    Text modalityLine; // Label1
    Text english;      // Command2
    Text japanese;     // Command1
    Text notice;       // Label3, the makers' notice line
    Text cannotStart;  // %1: the program's file name
};

const LauncherTexts& launcherTexts();

} // namespace kv::texts
