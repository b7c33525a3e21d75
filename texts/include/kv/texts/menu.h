#pragma once
// The workbench's menu (Form3).
#include "kv/texts/text.h"

namespace kv::texts {

struct MenuTexts {
    Text caption;
    Text title; // Label10, Label5
    // The note in two lines; the editions name its labels differently.
    Text noteLine1Name;
    Text noteLine1;
    Text noteLine2Name;
    Text noteLine2;
    Text geometry;            // Command4
    Text menuHeading;         // Label9
    Text procedureHeading;    // Label1
    Text step1;               // Label6
    Text step2;               // Label7
    Text step3;               // Label8
    Text phantom;             // Command1
    Text spectrum;            // Command2
    Text simulation;          // Command5
    Text results;             // Command3
    Text method;              // Command7
    Text exit;                // Command6
    Text byeTip;              // tool tip of Command6 and Command7
    Text notice;              // Label2, the makers' notice line
    Text workbenchTitle;      // what the workbench's message boxes are titled with
    Text cannotStartSpectrum; // %1: the spectrum tool's file name
};

const MenuTexts& menuTexts();

} // namespace kv::texts
