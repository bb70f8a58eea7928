#pragma once
// Every message box and file dialog of the program goes through this service, so that the tests can
// script the answers and read what was asked.

#include <QList>
#include <QString>
#include <QStringList>

class QMessageBox;
class QWidget;

class DialogService {
public:
    enum class Buttons { OK, OKCancel, YesNo, YesNoCancel, AbortRetryIgnore, RetryCancel };
    enum class Icon { None, Question, Exclamation, Information, Critical };
    enum class Answer { OK, Cancel, Yes, No, Abort, Retry, Ignore };

    struct FileRequest {
        QString title;
        QString filter;        // "Site Files (*.bin)|*.bin|All Files (*.*)|*.*" style pairs
        int filterIndex = 1;   // 1-based
        QString defaultExt;    // without the dot
        QString initialName;
        // Save dialogs: the filter chosen sets the extension of a name typed without one (its
        // single "*.ext" pattern), so the filter picks the kind of file written.
        bool suffixByFilter = false;
    };

    virtual ~DialogService() = default;

    virtual Answer message(const QString& text, const QString& title, Buttons buttons, Icon icon) = 0;
    // The same box with a detail under its text: why it is asked and what the user can do about
    // it.
    Answer message(const QString& text, const QString& title, Buttons buttons, Icon icon, const QString& detail)
    {
        return detailedMessage(text, title, buttons, icon, detail);
    }
    // The chosen file name, or an empty text when the user cancelled.
    virtual QString openFile(const FileRequest& request) = 0;
    virtual QString saveFile(const FileRequest& request) = 0;
    virtual void beep() = 0;

    // Helper: a plain OK box with the given icon.
    void inform(const QString& text, const QString& title = QString(), Icon icon = Icon::Exclamation)
    {
        message(text, title, Buttons::OK, icon);
    }

    // Adds the default extension to a name typed without one.
    static QString withDefaultExtension(const QString& fileName, const QString& defaultExt);
    // Turns a "Description|pattern|..." filter into Qt's ";;"-separated form.
    static QStringList qtFilters(const QString& filter);

protected:
    // A service that has no place for a detail asks the plain box.
    virtual Answer detailedMessage(const QString& text, const QString& title, Buttons buttons, Icon icon,
                                   const QString& detail)
    {
        (void)detail;
        return message(text, title, buttons, icon);
    }
};

// Real dialogs: QMessageBox and QFileDialog.
class QtDialogService : public DialogService {
public:
    explicit QtDialogService(QWidget* parent = nullptr) : m_parent(parent) {}
    using DialogService::message;
    Answer message(const QString& text, const QString& title, Buttons buttons, Icon icon) override;
    QString openFile(const FileRequest& request) override;
    QString saveFile(const FileRequest& request) override;
    void beep() override;

    // Widens a box so that its title bar can show the whole title, the program's name that the
    // desktop adds to it included (a box sized for "Work Offline?" alone cuts its title short).
    static void fitTitle(QMessageBox& box);

protected:
    Answer detailedMessage(const QString& text, const QString& title, Buttons buttons, Icon icon,
                           const QString& detail) override;

private:
    QWidget* m_parent;
};

// Scripted dialogs for the tests: answers are taken from the queues in order; every question is
// recorded. An empty answer queue gives the box's last button (No, Cancel, Ignore, OK), an empty
// file queue a cancelled dialog.
class ScriptedDialogService : public DialogService {
public:
    struct Asked {
        QString text;
        QString title;
        Buttons buttons;
        Icon icon;
        Answer answer;
        QString detail; // empty for a box asked without one
    };
    struct FileAsked {
        bool save;
        FileRequest request;
        QString answer;
    };

    using DialogService::message;
    Answer message(const QString& text, const QString& title, Buttons buttons, Icon icon) override;
    QString openFile(const FileRequest& request) override;
    QString saveFile(const FileRequest& request) override;
    void beep() override { ++beeps; }

    QList<Answer> answers;
    QStringList files;
    QList<Asked> asked;
    QList<FileAsked> fileAsked;
    int beeps = 0;

    // Texts of the message boxes asked so far, "title: text" each.
    QStringList transcript() const;
    int count(const QString& text, const QString& title) const;

protected:
    Answer detailedMessage(const QString& text, const QString& title, Buttons buttons, Icon icon,
                           const QString& detail) override;
};
