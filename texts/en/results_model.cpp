#include "kv/texts/results_model.h"

namespace kv::texts {

const ResultsModelTexts& resultsModelTexts() {
    static constexpr ResultsModelTexts t{
        .selectFile = "  * Select File  !   ",
        .cannotRead = " This file cannot be read ! ",
        .lineTail = "   ",
        .historyLabel = "   History = ",
        .historyUnit = "",
        .phantomSize = "   Phantom size",
        .sizeIndent = "     ",
        .sizeTimes = " x ",
        .sizeUnit = " cm",
        .fractionLabel = "   Grandular fraction = ",
        .fractionUnit = " %",
        .reasonCannotOpen = "the file cannot be opened",
        .reasonEndsEarly = "the file ends before all dose values are read",
        .reasonNotANumber = "a value is not a number",
        .reasonCountOutOfRange =
            "a grid count is not a whole number within the dose grid (X 1..76, Y 1..151, Z 1..60)",
        .reasonEmptyReferenceRegion = "the reference region holds no dose, so there is no 100 % dose",
        .reasonAirKerma = "the air kerma is zero or negative",
        .reasonNotAFile = "the name is not a regular file (a folder, pipe or device)",
        .reasonTooLarge = "the file is larger than a result file can be",
        .reasonUnreadable = "the file could not be read to the end (a read error or too little memory)",
        .reasonThickerThanScreens =
            "the breast is thicker than 6 cm, which the screens cannot show; kv-report "
            "and kv-sweep read the file",
        .fileReason = "{file}: {reason}.",
        .reportReplacedBytes = "bytes that are not valid CP932 were replaced by U+FFFD",
        .reportUsage =
            "usage: kv-report_en [--json] RESULT_FILE...\n"
            "       kv-report_en --table NAME RESULT_FILE...\n"
            "       kv-report_en --export DIR RESULT_FILE...\n"
            "       kv-report_en [--json] --compare A.vesk B.vesk\n"
            "Prints the header preview, the version of the engine that wrote it, the 100 % dose,\n"
            "FCD, sAGD and mean-percentage fields and the depth-dose table of each result file,\n"
            "as CSV or (--json) as JSON. The sAGD and the 100 % dose are mGy of glandular dose\n"
            "per mGy of air kerma free in air at the FCD (per k_fcd); the whole breast's mean\n"
            "glandular dose (mgd) per each air kerma point is in the trailer and air_kerma rows.\n"
            "  --table NAME  one CSV table of every file named, a file column first:\n"
            "                header (file,line,text), fields (file,quantity,value,unit,per,text),\n"
            "                depth_dose (file,layer,total_percent,primary_percent,scatter_percent),\n"
            "                air_kerma (file,point,where,k_per_k_fcd,sagd,mgd,unit,per; the points\n"
            "                fcd, fcd_paddle, surface at the chest-wall edge, and on the midline\n"
            "                surface_60mm and surface_40mm from the chest wall),\n"
            "                scan (file,kind,projections,rotation_axis_cm,mgd_per_k_surface_0deg,\n"
            "                mgd_per_k_surface_0deg_sigma_percent,t_scan,t_scan_sigma_percent,\n"
            "                t_scan_from_projections), projections (file,index,angle_deg,\n"
            "                loading,mgd_per_k_surface_i,mgd_per_k_surface_i_sigma_percent,t_i,\n"
            "                t_i_sigma_percent) or\n"
            "                trailer (file,key,value,unit,per)\n"
            "A tomosynthesis result also gets its scan and, per projection, its angle,\n"
            "share of the tube loading, dose and t; t_scan_from_projections is the sum of\n"
            "share x t_i.\n"
            "  --export DIR  writes DIR/S.depth-dose.csv and DIR/S.dose.csv for each\n"
            "                readable result file S.vesk (the folder is made if missing)\n"
            "  --compare     compares two results quantity by quantity: A, B, B/A and\n"
            "                (B-A) in units of their combined sigma\n"
            "  --json        JSON instead of CSV (not with --export or --table): names in\n"
            "                snake_case, numbers as numbers, each value with its unit and per\n"
            "Options may stand anywhere, as --opt VALUE or --opt=VALUE; after -- every\n"
            "argument is a file. The exit status is 1 when a file cannot be read or\n"
            "written, 2 on a usage error.",
    };
    return t;
}

} // namespace kv::texts
