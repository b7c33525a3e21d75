#pragma once
// Mammography headers written with DCMTK for the tests: a well-formed
// exposure with every identifier a real one carries, and the means to spoil it.
#include <algorithm>
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmdata/dcvrobow.h>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kv::audit::test {

// The identifiers every made file carries; no output may hold any of them.
inline const std::vector<std::string> kSecrets = {
    "Doe^Jane-Secret",         "PID-77341-SECRET",   "19680312",        "ACC-99120-SECRET",
    "Secret General Hospital", "Dr^Referrer^Secret", "Operator^Secret", "1.2.826.0.1.3680043.9.7777"};

struct MadeExposure {
    std::string manufacturer = "ACME", model = "MammoOne", serial = "SN1001";
    std::string modality = "MG", anode = "MOLYBDENUM", filter = "MOLYBDENUM";
    std::string kvp = "28", mas = "63", uas; // uas: the exposure in µAs when given
    std::string filterMin = "0.03", filterMax = "0.03";
    std::string thickness = "45", force = "120";
    std::string sid = "650", sod = "605";
    std::string entrance = "5.2", hvl = "0.36", organDose = "0.0125";
    std::string view = "CC", laterality = "L", age = "055Y", birth = kSecrets[2];
    std::string intent = "FOR PRESENTATION";
    std::string imageType = "ORIGINAL\\PRIMARY";
    std::string sopClass = UID_DigitalMammographyXRayImageStorageForPresentation;
    std::string date = "20240115", time = "101500";
    std::string charset; // Specific Character Set, empty: none
    std::string patientName = kSecrets[0];
    std::string event; // Irradiation Event UID
    std::string study = kSecrets[7] + ".1";
    int index = 0;                          // makes the instance UID unique
    std::string instance, series;           // instance and series UIDs instead of the made ones
    std::map<DcmTagKey, std::string> extra; // written as they stand (odd values)
    std::vector<DcmTagKey> drop;            // left out
    bool pixels = true;                     // a small pixel data element after the header
    // Tomosynthesis: the frames, each frame's angle and entrance dose (per-frame groups), the values
    // of the X-ray 3D acquisition and its projections' angles, the classes of the source images.
    int frames = 0;
    std::vector<std::string> frameAngles, frameEntrance;
    std::map<DcmTagKey, std::string> acquisition;
    std::vector<std::string> projectionAngles;
    std::vector<std::string> sourceClasses;
    std::string derivation; // the meaning of a derivation code
};

// The breast tomosynthesis classes.
inline constexpr const char* kVolumeClass = "1.2.840.10008.5.1.4.1.1.13.1.3";
inline constexpr const char* kProjectionsForPresentation = "1.2.840.10008.5.1.4.1.1.13.1.4";
inline constexpr const char* kProjectionsForProcessing = "1.2.840.10008.5.1.4.1.1.13.1.5";

inline void put(DcmDataset& ds, const DcmTagKey& tag, const std::string& v) {
    if (!v.empty()) ds.putAndInsertString(tag, v.c_str());
}

inline void writeDicom(const std::filesystem::path& file, const MadeExposure& e) {
    DcmFileFormat ff;
    DcmDataset& ds = *ff.getDataset();
    put(ds, DCM_SpecificCharacterSet, e.charset);
    put(ds, DCM_SOPClassUID, e.sopClass);
    put(ds, DCM_SOPInstanceUID,
        !e.instance.empty() ? e.instance
                            : kSecrets[7] + ".2." + std::to_string(e.index) + "." +
                                  (e.intent == "FOR PROCESSING" ? "1" : "2"));
    put(ds, DCM_StudyInstanceUID, e.study);
    put(ds, DCM_SeriesInstanceUID,
        !e.series.empty() ? e.series : kSecrets[7] + ".3." + std::to_string(e.index));
    put(ds, DCM_Modality, e.modality);
    put(ds, DCM_ImageType, e.imageType);
    put(ds, DCM_PresentationIntentType, e.intent);
    put(ds, DCM_PatientName, e.patientName);
    put(ds, DCM_PatientID, kSecrets[1]);
    put(ds, DCM_PatientBirthDate, e.birth);
    put(ds, DCM_PatientAge, e.age);
    put(ds, DCM_AccessionNumber, kSecrets[3]);
    put(ds, DCM_InstitutionName, kSecrets[4]);
    put(ds, DCM_ReferringPhysicianName, kSecrets[5]);
    put(ds, DCM_OperatorsName, kSecrets[6]);
    put(ds, DCM_Manufacturer, e.manufacturer);
    put(ds, DCM_ManufacturerModelName, e.model);
    put(ds, DCM_DeviceSerialNumber, e.serial);
    put(ds, DCM_AcquisitionDate, e.date);
    put(ds, DCM_AcquisitionTime, e.time);
    put(ds, DCM_KVP, e.kvp);
    put(ds, DCM_Exposure, e.mas);
    put(ds, DCM_ExposureInuAs, e.uas);
    put(ds, DCM_AnodeTargetMaterial, e.anode);
    put(ds, DCM_FilterMaterial, e.filter);
    put(ds, DCM_FilterThicknessMinimum, e.filterMin);
    put(ds, DCM_FilterThicknessMaximum, e.filterMax);
    put(ds, DCM_BodyPartThickness, e.thickness);
    put(ds, DCM_CompressionForce, e.force);
    put(ds, DCM_DistanceSourceToDetector, e.sid);
    put(ds, DCM_DistanceSourceToPatient, e.sod);
    put(ds, DCM_EntranceDoseInmGy, e.entrance);
    put(ds, DCM_HalfValueLayer, e.hvl);
    put(ds, DCM_OrganDose, e.organDose);
    put(ds, DCM_ViewPosition, e.view);
    put(ds, DCM_ImageLaterality, e.laterality);
    put(ds, DCM_IrradiationEventUID, e.event);
    if (e.frames) put(ds, DCM_NumberOfFrames, std::to_string(e.frames));
    for (size_t f = 0; f < std::max(e.frameAngles.size(), e.frameEntrance.size()); ++f) {
        DcmItem* frame = nullptr;
        ds.findOrCreateSequenceItem(DCM_PerFrameFunctionalGroupsSequence, frame, -2);
        if (f < e.frameAngles.size())
            frame->putAndInsertString(DCM_PositionerPrimaryAngle, e.frameAngles[f].c_str());
        if (f < e.frameEntrance.size()) {
            DcmItem* dose = nullptr;
            frame->findOrCreateSequenceItem(DCM_XRayAcquisitionDoseSequence, dose, 0);
            dose->putAndInsertString(DCM_EntranceDoseInmGy, e.frameEntrance[f].c_str());
        }
    }
    if (!e.acquisition.empty() || !e.projectionAngles.empty()) {
        DcmItem* a = nullptr;
        ds.findOrCreateSequenceItem(DCM_XRay3DAcquisitionSequence, a, 0);
        for (const auto& [tag, v] : e.acquisition)
            a->putAndInsertString(tag, v.c_str());
        for (const std::string& angle : e.projectionAngles) {
            DcmItem* p = nullptr;
            a->findOrCreateSequenceItem(DCM_PerProjectionAcquisitionSequence, p, -2);
            p->putAndInsertString(DCM_PositionerPrimaryAngle, angle.c_str());
        }
    }
    for (const std::string& c : e.sourceClasses) {
        DcmItem* source = nullptr;
        ds.findOrCreateSequenceItem(DCM_SourceImageSequence, source, -2);
        source->putAndInsertString(DCM_ReferencedSOPClassUID, c.c_str());
        source->putAndInsertString(DCM_ReferencedSOPInstanceUID, (kSecrets[7] + ".8").c_str());
    }
    if (!e.derivation.empty()) {
        DcmItem* code = nullptr;
        ds.findOrCreateSequenceItem(DCM_DerivationCodeSequence, code, 0);
        code->putAndInsertString(DCM_CodeValue, "999");
        code->putAndInsertString(DCM_CodingSchemeDesignator, "99TEST");
        code->putAndInsertString(DCM_CodeMeaning, e.derivation.c_str());
    }
    for (const auto& [tag, v] : e.extra)
        ds.putAndInsertString(tag, v.c_str());
    for (const DcmTagKey& t : e.drop)
        delete ds.remove(t);
    if (e.pixels) {
        ds.putAndInsertUint16(DCM_Rows, 4);
        ds.putAndInsertUint16(DCM_Columns, 4);
        ds.putAndInsertUint16(DCM_BitsAllocated, 16);
        std::vector<Uint16> px(16, 1000);
        ds.putAndInsertUint16Array(DCM_PixelData, px.data(), 16);
    }
    ff.saveFile(file.c_str(), EXS_LittleEndianExplicit);
}

} // namespace kv::audit::test
