#pragma once
// The X-Y and X-Z plane screens as the results screen drives them. Each is
// created on first use and lives as long as this object; closing one only
// hides it, so it keeps what it shows.
//
//   kv::results::ResultsSession session;
//   kv::results::PlaneScreens planes(session);   // hand &planes to Form2
#include "kv/workbench/results/ui/plane_views.h"
#include "kv/workbench/results/ui/results_session.h"

#include <memory>
#include <string>

namespace kv::results {

class XYPlaneScreen;
class XZPlaneScreen;

class PlaneScreens : public PlaneViews {
  public:
    explicit PlaneScreens(const ResultsSession& session);
    ~PlaneScreens() override;

    XYPlaneScreen& xy(); // Form6
    XZPlaneScreen& xz(); // Form7

    void modelLoaded() override;
    void showXZ() override;
    void showXY(std::string_view doseText) override;
    void picked(std::string_view yText, std::string_view zText) override;
    void hideAll() override;

  private:
    const ResultsSession& session_;
    std::unique_ptr<XYPlaneScreen> xy_;
    std::unique_ptr<XZPlaneScreen> xz_;
    // The results screen's Y text, which Form7 shows after each painting.
    std::string sliceY_;
};

} // namespace kv::results
