#include "kv/results/voxel_uncertainty.h"

#include "kv/formats/result_file.h"

namespace kv::results {

std::optional<double> voxelRelativeSigma(const std::optional<formats::VoxelSigma>& s, int ix, int iy,
                                         int iz) {
    if (!s || ix < 1 || ix > formats::kValuesPerRow || iy < 1 || iy > s->rows || iz < 1 || iz > s->layers)
        return std::nullopt;
    const size_t i =
        (static_cast<size_t>(iz - 1) * static_cast<size_t>(s->rows) + static_cast<size_t>(iy - 1)) *
            formats::kValuesPerRow +
        static_cast<size_t>(ix - 1);
    return s->percent[i] / 100.0;
}

} // namespace kv::results
