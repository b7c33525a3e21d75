#pragma once
// The results screen Form2 with the plane screens Form6 and Form7 that it
// drives: what a program creates once for the whole run.
//
//   kv::results::ResultsScreens results(workDir);
//   results.openFromMenu();
#include "kv/results/plane_screens.h"
#include "kv/results/results_screen.h"

#include <memory>

namespace kv::results {

class ResultsScreens : public ResultsScreen {
    Q_OBJECT
public:
    explicit ResultsScreens(const QString& workDir, QWidget* parent = nullptr)
        : ResultsScreen(workDir, parent), planes_(std::make_unique<PlaneScreens>(session())) {
        setPlaneViews(planes_.get());
    }
    ~ResultsScreens() override { setPlaneViews(nullptr); }
    PlaneScreens& planes() { return *planes_; }

private:
    std::unique_ptr<PlaneScreens> planes_;
};

} // namespace kv::results
