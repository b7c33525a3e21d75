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
    Text notice;       // Label3, the makers' notice line; {version}: the version, short
    Text noticeTip;    // {version}: in full
    Text cannotStart;  // %1: the program's file name
    // The working folder, below the edition buttons.
    Text workFolder;     // {folder}
    Text otherFolder;    // the button that chooses another folder for this session
    Text otherFolderTip; // {folder}: the default folder
    Text folderProblem;  // {folder}, {why}: one of the four below
    Text cannotMake;     // {detail}: the system's words
    Text notAFolder;
    Text readOnly;
    Text cannotSeed; // {detail}: the system's words
};

const LauncherTexts& launcherTexts();

} // namespace kv::texts
