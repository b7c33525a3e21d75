#pragma once
// Texts of the result-file model: the header preview's labels, the load's
// messages, and the kv-report tool's own lines.
#include "kv/texts/text.h"

namespace kv::texts {

struct ResultsModelTexts {
    // Load messages (warning boxes on the results screen).
    Text selectFile;
    Text cannotRead;

    // Header preview: each header line is printed followed by lineTail.
    Text lineTail;
    Text historyLabel; // then the count formatted "0.00E+00", then historyUnit
    Text historyUnit;
    Text phantomSize;
    Text sizeIndent; // then X sizeTimes Y sizeTimes Z sizeUnit
    Text sizeTimes;
    Text sizeUnit;
    Text fractionLabel; // then the fraction, then fractionUnit
    Text fractionUnit;

    // Why a load failed; kv-report prints it after cannotRead.
    Text reasonCannotOpen;
    Text reasonEndsEarly;
    Text reasonNotANumber;
    Text reasonCountOutOfRange;
    Text reasonEmptyReferenceRegion;
    Text reasonAirKerma;
    Text reasonNotAFile;
    Text reasonTooLarge;
    Text reasonUnreadable; // out of memory or a read error part-way
    Text reasonThickerThanScreens;
    Text fileReason; // {file}: the file's name, {reason}: one of the reasons above

    // kv-report.
    Text reportReplacedBytes; // a header held bytes that are not CP932
    Text reportUsage;
};

const ResultsModelTexts& resultsModelTexts();

} // namespace kv::texts
