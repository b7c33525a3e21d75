#pragma once
// Pictures and PDFs drawn by command-line programs: Qt draws text only with
// a font database, and that needs an application. One is made on the
// offscreen platform (no window, no display) for as long as this object
// lives, unless the program already has one; Qt's own notes (a missing
// runtime folder and the like) are kept from the user meanwhile.
//
//   kv::gui::OffscreenPainting painting("kv-sweep");
//   QImage img(900, 600, QImage::Format_RGB32);  QPainter p(&img); ...
#include <QtGlobal>
#include <memory>

class QGuiApplication;

namespace kv::gui {

class OffscreenPainting {
  public:
    explicit OffscreenPainting(const char* programName);
    ~OffscreenPainting();
    OffscreenPainting(const OffscreenPainting&) = delete;
    OffscreenPainting& operator=(const OffscreenPainting&) = delete;

  private:
    QtMessageHandler previous_;
    std::unique_ptr<QGuiApplication> app_;
};

// A round step (1, 2 or 5 times a power of ten) for about `ticks` ticks over `span`.
double roundTickStep(double span, int ticks);

} // namespace kv::gui
