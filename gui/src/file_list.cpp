#include "kv/gui/file_list.h"

#include <QDir>

namespace kv::gui {

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    refresh();
}

void FileListBox::setDirectory(const QString& dir) {
    dir_ = dir;
    refresh();
}

QString FileListBox::directory() const {
    return dir_.isEmpty() ? QDir::currentPath() : dir_;
}

void FileListBox::setPattern(const QString& pattern) {
    pattern_ = pattern;
    refresh();
}

void FileListBox::refresh() {
    clear();
    QDir d(directory());
    // "*.*" on the desktop means every file, with or without an extension.
    const QStringList filters = pattern_ == QLatin1String("*.*") ? QStringList{"*"} : pattern_.split(';');
    addItems(d.entryList(filters, QDir::Files, QDir::Name | QDir::IgnoreCase));
}

QStringList FileListBox::fileNames() const {
    QStringList names;
    for (int i = 0; i < count(); ++i)
        names << item(i)->text();
    return names;
}

QString FileListBox::selectedFile() const {
    const auto sel = selectedItems();
    return sel.isEmpty() ? QString() : sel.front()->text();
}

bool FileListBox::selectFile(const QString& name) {
    const auto found = findItems(name, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (found.isEmpty()) return false;
    setCurrentItem(found.front());
    return true;
}

} // namespace kv::gui
