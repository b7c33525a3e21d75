#pragma once
// The factors from our own engine: each node is one kv-sweep row of the
// protocol breast model, run (or found in the cache) by kv::factors::runGridRow,
// and each beam matched to its HVL by the spectrum model with Geometry.dat's
// paddle in the beam.
#include "kv/audit/audit.h"
#include "kv/factors/row.h"
#include "kv/formats/equipment_file.h"

#include <memory>

namespace kv::audit {

// Throws FactorFailure when the data folder cannot serve (no equipment.dat,
// spectrum data or a refused Geometry.dat).
std::unique_ptr<Physics> makeEnginePhysics(const PhysicsSettings& s);

// The kv-sweep row a node is run as (a fixed seed from the node, so that the
// same node gives the same factor wherever it is run).
factors::Row nodeRow(const FactorNode& n, const formats::EquipmentRecord& equipment, double histories);

} // namespace kv::audit
