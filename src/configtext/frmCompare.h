#pragma once
// The differences between the configuration in the menu (read, recalled or edited) and a site
// file, grouped as zav-cli diff tells them, with Save to keep the same text in a file. Needs no
// meter.

#include "configtext/configcells.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTreeWidget;
class Session;

class frmCompare : public QWidget {
    Q_OBJECT
public:
    explicit frmCompare(Session& session, QWidget* parent = nullptr);

    // Fills the list with the differences of `menu` (side A) and the site file `file` (side B),
    // read from fileName, and shows the window.
    void Setform(const configtext::Config& menu, const configtext::Config& file, const QString& fileName);

    void cmdSave_Click();

    QLabel* lblSummary = nullptr;
    QTreeWidget* lstDiff = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdClose = nullptr;

    static constexpr const char* kMenuName = "the configuration in the menu";

private:
    Session& m_session;
    QString m_text;     // what Save writes
    QString m_fileName; // the site file compared with
    QString m_saveName; // the last file saved to
};
