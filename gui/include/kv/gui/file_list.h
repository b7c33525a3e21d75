#pragma once
// A list of the files of a directory that match a pattern ("*.vesk"), sorted
// by name without regard to letter case. It reads the directory when created
// and on refresh() only, so files that appear later show after a refresh;
// a refresh leaves nothing selected.
#include <QListWidget>

namespace kv::gui {

class FileListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit FileListBox(QWidget* parent = nullptr);
    // The directory defaults to the current working directory.
    void setDirectory(const QString& dir);
    QString directory() const;
    void setPattern(const QString& pattern);
    QString pattern() const { return pattern_; }
    void refresh();
    QStringList fileNames() const;
    // The selected bare file name, or empty.
    QString selectedFile() const;
    // Selects the entry of that name; false when it is not listed.
    bool selectFile(const QString& name);

  private:
    QString dir_;
    QString pattern_ = QStringLiteral("*.*");
};

} // namespace kv::gui
