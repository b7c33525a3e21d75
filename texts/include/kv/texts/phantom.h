#pragma once
// The phantom screen (Form1) and the phantom composition table (Form11).
#include "kv/texts/text.h"

namespace kv::texts {

struct PhantomTexts {
    Text caption;
    Text heading;     // Label3
    Text composition; // Command1
    Text sizeHeading; // Label45
    Text xIs;         // Label46
    Text yIs;         // Label47
    Text zIs;         // Label48
    Text fifteen;     // Label6, Label7
    Text cmConstant;  // Label5, Label8
    // A separate word after "cm" (Label1, Label2); empty when cmConstant says it all.
    Text constant;
    Given<int> constantLeft; // twips
    Text cm;                 // Label49
    Text upTo6;              // Label15
    Text fractionHeading;    // Label9
    Text percent;            // Label11
    Text ok;                 // Command3
    Text cancel;             // Command7
    Text cannotWrite;        // %1: the file name
    Text thicknessField;     // Text31, as a refusal names it
};

struct CompositionTexts {
    Text caption;
    // The heading in two lines; the editions name and place them differently.
    Text heading1Name;
    Text heading1;
    Given<int> heading1Left;
    Given<int> heading1Top;
    Text heading2Name;
    Text heading2;
    Given<int> heading2Left;
    Given<int> heading2Top;
    // Column heads of the table picture; "\n" breaks a head into lines.
    Text fractionHead;
    Text densityHead;
    Text massFractionHead; // spans the element columns
    Text hydrogen;
    Text carbon;
    Text nitrogen;
    Text oxygen;
    Text phosphorus;
    Text reference; // Label6
    // The two sources, in six lines: Label1, Label4, Label5, Label7, Label8, Label9.
    Text source1Authors;
    Text source1Title;
    Text source1Journal;
    Text source2AuthorsAndTitle;
    Text source2Title;
    Text source2Journal;
    Text close;
};

const PhantomTexts& phantomTexts();
const CompositionTexts& compositionTexts();

} // namespace kv::texts
