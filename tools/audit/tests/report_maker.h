#pragma once
// X-ray radiation dose reports written with DCMTK's dcmsr for the tests: the
// projection X-ray dose template with mammography irradiation events, 2D and
// tomosynthesis, and the means to spoil an event.
#include "dicom_maker.h"

#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <dcmtk/dcmsr/codes/dcm.h>
#include <dcmtk/dcmsr/codes/sct.h>
#include <dcmtk/dcmsr/dsrdoc.h>
#include <dcmtk/dcmsr/dsrnumvl.h>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kv::audit::test {

struct MadeEvent {
    std::string uid = kSecrets[7] + ".5.1", started = "20240115101500.000000";
    std::string laterality = "Left", view = "cranio-caudal";
    std::string kvp = "28", uas = "63000";
    std::string anode = "Molybdenum or Molybdenum compound", filter = "Molybdenum or Molybdenum compound";
    std::string filterMin = "0.03", filterMax = "0.03";
    std::string thickness = "45", hvl = "0.36", entrance = "5.2", agd = "1.25";
    std::string startAngle, endAngle, pulses; // a scan
    std::map<std::string, std::string> units; // a name's unit instead of its own ("" for none)
    std::set<std::string> drop;               // concepts left out
    std::set<std::string> asCode;             // numbers written as codes
};

struct MadeReport {
    std::string manufacturer = "ACME", model = "MammoOne", serial = "SN1001", age = "055Y";
    std::string study = kSecrets[7] + ".1", instance = kSecrets[7] + ".6.1";
    std::string procedure = "Mammography"; // empty: not said
    std::vector<MadeEvent> events = {MadeEvent{}};
    bool anodeOutsideEvents = false; // the anode at the report's root, not in an event
};

// Every NUM item of `name` in the content tree gets the number 45 and no unit.
inline void withoutUnit(DcmItem& in, const std::string& wanted) {
    DcmSequenceOfItems* content = nullptr;
    if (in.findAndGetSequence(DCM_ContentSequence, content).bad() || !content) return;
    for (unsigned long i = 0; i < content->card(); ++i) {
        DcmItem* item = content->getItem(i);
        withoutUnit(*item, wanted);
        DcmItem* name = nullptr;
        OFString code;
        if (item->findAndGetSequenceItem(DCM_ConceptNameCodeSequence, name, 0).good() &&
            name->findAndGetOFString(DCM_CodeValue, code).good() && code == wanted.c_str()) {
            delete item->remove(DCM_MeasuredValueSequence);
            DcmItem* value = nullptr;
            item->findOrCreateSequenceItem(DCM_MeasuredValueSequence, value, 0);
            value->putAndInsertString(DCM_NumericValue, "45");
        }
    }
}

inline void writeReport(const std::filesystem::path& file, const MadeReport& r) {
    DSRDocument doc(DSRTypes::DT_XRayRadiationDoseSR);
    DSRDocumentTree& t = doc.getTree();
    t.addContentItem(DSRTypes::RT_isRoot, DSRTypes::VT_Container, CODE_DCM_XRayRadiationDoseReport);
    if (!r.procedure.empty()) {
        t.addChildContentItem(DSRTypes::RT_hasConceptMod, DSRTypes::VT_Code, CODE_DCM_ProcedureReported);
        t.getCurrentContentItem().setCodeValue(
            DSRCodedEntryValue(r.procedure == "Mammography" ? "71651007" : "99PROC",
                               r.procedure == "Mammography" ? "SCT" : "99TEST", r.procedure.c_str()));
    } else {
        t.addChildContentItem(DSRTypes::RT_contains, DSRTypes::VT_Text, CODE_DCM_Comment);
        t.getCurrentContentItem().setStringValue("made for a test");
    }
    if (r.anodeOutsideEvents) {
        t.addContentItem(DSRTypes::RT_contains, DSRTypes::VT_Code, CODE_DCM_AnodeTargetMaterial);
        t.getCurrentContentItem().setCodeValue(
            DSRCodedEntryValue("C-150F9", "SRT", "Molybdenum or Molybdenum compound"));
    }
    for (const MadeEvent& e : r.events) {
        t.addContentItem(DSRTypes::RT_contains, DSRTypes::VT_Container, CODE_DCM_IrradiationEventXRayData);
        bool first = true;
        auto add = [&](DSRTypes::E_ValueType type, const DSRBasicCodedEntry& name) {
            const bool ok = first ? t.addChildContentItem(DSRTypes::RT_contains, type, name).good()
                                  : t.addContentItem(DSRTypes::RT_contains, type, name).good();
            first = false;
            return ok;
        };
        auto num = [&](const DSRBasicCodedEntry& name, const std::string& v, const char* unit) {
            if (v.empty() || e.drop.count(name.CodeValue.c_str())) return;
            if (e.asCode.count(name.CodeValue.c_str())) {
                add(DSRTypes::VT_Code, name);
                t.getCurrentContentItem().setCodeValue(
                    DSRCodedEntryValue("V" + OFString(v.c_str()), "99TEST", v.c_str()));
                return;
            }
            add(DSRTypes::VT_Num, name);
            const auto u = e.units.find(name.CodeValue.c_str());
            const std::string code = u == e.units.end() ? unit : u->second;
            t.getCurrentContentItem().setNumericValue(
                DSRNumericMeasurementValue(v.c_str(), DSRCodedEntryValue(code.c_str(), "UCUM", code.c_str()),
                                           OFFalse),
                OFFalse);
        };
        auto code = [&](const DSRBasicCodedEntry& name, const std::string& meaning, const char* value) {
            if (meaning.empty() || e.drop.count(name.CodeValue.c_str())) return;
            add(DSRTypes::VT_Code, name);
            t.getCurrentContentItem().setCodeValue(DSRCodedEntryValue(value, "99TEST", meaning.c_str()));
        };
        if (!e.uid.empty()) {
            add(DSRTypes::VT_UIDRef, CODE_DCM_IrradiationEventUID);
            t.getCurrentContentItem().setStringValue(e.uid.c_str());
        }
        if (!e.started.empty()) {
            add(DSRTypes::VT_DateTime, CODE_DCM_DateTimeStarted);
            t.getCurrentContentItem().setStringValue(e.started.c_str());
        }
        code(CODE_DCM_IrradiationEventType,
             e.pulses.empty() ? "Stationary Acquisition" : "Stepping Acquisition",
             e.pulses.empty() ? "113611" : "113612");
        if (!e.laterality.empty()) {
            code(CODE_DCM_TargetRegion, "Breast", "76752008");
            t.addChildContentItem(DSRTypes::RT_hasConceptMod, DSRTypes::VT_Code, CODE_SCT_Laterality);
            t.getCurrentContentItem().setCodeValue(
                DSRCodedEntryValue("7771000", "SCT", e.laterality.c_str()));
            t.goUp();
        }
        code(CODE_DCM_ImageView, e.view, "399162004");
        num(CODE_DCM_KVP, e.kvp, "kV");
        num(CODE_DCM_Exposure, e.uas, "uA.s");
        code(CODE_DCM_AnodeTargetMaterial, e.anode, "C-150F9");
        if (!e.filter.empty() && !e.drop.count("113771")) {
            add(DSRTypes::VT_Container, CODE_DCM_XRayFilters);
            first = true;
            code(CODE_DCM_XRayFilterMaterial, e.filter, "C-150F9");
            num(CODE_DCM_XRayFilterThicknessMinimum, e.filterMin, "mm");
            num(CODE_DCM_XRayFilterThicknessMaximum, e.filterMax, "mm");
            if (!first) t.goUp();
            first = false;
        }
        num(CODE_DCM_CompressionThickness, e.thickness, "mm");
        num(CODE_DCM_HalfValueLayer, e.hvl, "mm");
        num(CODE_DCM_EntranceExposureAtRP, e.entrance, "mGy");
        num(CODE_DCM_AverageGlandularDose, e.agd, "mGy");
        num(CODE_DCM_PositionerPrimaryAngle, e.startAngle, "deg");
        num(CODE_DCM_PositionerPrimaryEndAngle, e.endAngle, "deg");
        num(CODE_DCM_NumberOfPulses, e.pulses, "{pulses}");
        if (!first) t.goUp();
    }
    doc.createNewSeriesInStudy(r.study.c_str());
    doc.setManufacturer(r.manufacturer.c_str());
    doc.setManufacturerModelName(r.model.c_str());
    doc.setDeviceSerialNumber(r.serial.c_str());
    doc.setSoftwareVersions("1");
    doc.completeDocument();
    doc.setPatientName(kSecrets[0].c_str());
    doc.setPatientID(kSecrets[1].c_str());
    doc.setPatientBirthDate(kSecrets[2].c_str());
    doc.setAccessionNumber(kSecrets[3].c_str());
    doc.setContentDate("20240115");
    DcmFileFormat ff;
    DcmDataset& ds = *ff.getDataset();
    doc.write(ds);
    // dcmsr leaves out a number without its unit: put it back as a hostile report holds it.
    for (const MadeEvent& e : r.events)
        for (const auto& [which, unit] : e.units)
            if (unit.empty()) withoutUnit(ds, which);
    ds.putAndInsertString(DCM_SOPInstanceUID, r.instance.c_str());
    ds.putAndInsertString(DCM_PatientAge, r.age.c_str());
    ds.putAndInsertString(DCM_InstitutionName, kSecrets[4].c_str());
    ff.saveFile(file.c_str(), EXS_LittleEndianExplicit);
}

} // namespace kv::audit::test
