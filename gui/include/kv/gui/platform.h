#pragma once
// The edges of a program towards the desktop: message boxes, starting other
// programs, the beep. Each goes through one replaceable object, so that tests
// record what a screen asked for instead of opening boxes or processes.
#include <QString>
#include <vector>

namespace kv::gui {

enum class MessageIcon { None, Warning };

class MessageSink {
  public:
    virtual ~MessageSink() = default;
    // A modal box with one OK button, titled with the program's title;
    // `detail` (the file, field or reason behind the text) stands below it.
    virtual void show(const QString& text, MessageIcon icon, const QString& detail) = 0;
    // A modal question with Yes and No (No the default); true for Yes.
    virtual bool ask(const QString& text) = 0;
    // A modal save-file dialog starting at `suggested`; empty when cancelled.
    virtual QString chooseSaveFile(const QString& suggested, const QString& filter) = 0;
    // A modal open-file dialog in `dir`; empty when cancelled.
    virtual QString chooseOpenFile(const QString& dir, const QString& filter) = 0;
    // A modal folder dialog starting at `dir`; empty when cancelled.
    virtual QString chooseFolder(const QString& dir) = 0;
};

// The sink in use: a real modal box unless a recorder is installed.
MessageSink& messages();
inline void showMessage(const QString& text, MessageIcon icon = MessageIcon::Warning,
                        const QString& detail = QString()) {
    messages().show(text, icon, detail);
}

// Installs itself for its lifetime and keeps every message.
class MessageRecorder : public MessageSink {
  public:
    struct Entry {
        QString text;
        MessageIcon icon;
        QString detail;
    };
    MessageRecorder();
    ~MessageRecorder() override;
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;
    void show(const QString& text, MessageIcon icon, const QString& detail) override {
        entries.push_back({text, icon, detail});
    }
    bool ask(const QString& text) override {
        questions.push_back(text);
        return answer;
    }
    QString chooseSaveFile(const QString& suggested, const QString&) override {
        suggestions.push_back(suggested);
        return chosenFile;
    }
    QString chooseOpenFile(const QString& dir, const QString&) override {
        suggestions.push_back(dir);
        return chosenFile;
    }
    QString chooseFolder(const QString& dir) override {
        suggestions.push_back(dir);
        return chosenFile;
    }
    std::vector<Entry> entries;
    std::vector<QString> questions;
    bool answer = false;              // what every question is answered
    std::vector<QString> suggestions; // the file or folder each dialog started at
    QString chosenFile;               // what every file or folder dialog returns (empty: cancelled)

  private:
    MessageSink* previous_;
};

class ProgramStarter {
  public:
    virtual ~ProgramStarter() = default;
    // Starts the program `name` that lies beside this one as a separate
    // process in the current working directory, without arguments, not
    // awaited. False when it could not be started.
    virtual bool start(const QString& name) = 0;
};

ProgramStarter& programs();

// Installs itself for its lifetime; records each start and answers with
// `succeeds`.
class StartRecorder : public ProgramStarter {
  public:
    StartRecorder();
    ~StartRecorder() override;
    StartRecorder(const StartRecorder&) = delete;
    StartRecorder& operator=(const StartRecorder&) = delete;
    bool start(const QString& name) override {
        started.push_back(name);
        return succeeds;
    }
    std::vector<QString> started;
    bool succeeds = true;

  private:
    ProgramStarter* previous_;
};

void beep();

// Installs itself for its lifetime and counts beeps instead of sounding them.
class BeepRecorder {
  public:
    BeepRecorder();
    ~BeepRecorder();
    BeepRecorder(const BeepRecorder&) = delete;
    BeepRecorder& operator=(const BeepRecorder&) = delete;
    int count = 0;

  private:
    BeepRecorder* previous_;
};

} // namespace kv::gui
