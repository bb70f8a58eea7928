#include "configtext/frmCompare.h"

#include "configtext/configdiff.h"
#include "engine/session.h"
#include "meterdata/sitefile.h"
#include "platform/dialogservice.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr int kWidth = 760;
constexpr int kHeight = 520;
constexpr char kSaveFilter[] = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*";
} // namespace

frmCompare::frmCompare(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmCompare"));
    setWindowTitle(QStringLiteral("Compare Configurations"));
    resize(kWidth, kHeight);

    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);

    lstDiff = new QTreeWidget(this);
    lstDiff->setObjectName(QStringLiteral("lstDiff"));
    lstDiff->setColumnCount(3);
    lstDiff->setHeaderLabels({QStringLiteral("Setting"), QStringLiteral("In the menu"), QStringLiteral("In the file")});
    lstDiff->setRootIsDecorated(true);
    lstDiff->setUniformRowHeights(true);
    lstDiff->header()->setSectionResizeMode(QHeaderView::Interactive);
    lstDiff->setColumnWidth(0, 300);
    lstDiff->setColumnWidth(1, 200);

    cmdSave = new QPushButton(QStringLiteral("Save..."), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    connect(cmdSave, &QPushButton::clicked, this, &frmCompare::cmdSave_Click);
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary);
    layout->addWidget(lstDiff, 1);
    layout->addLayout(buttons);
}

void frmCompare::Setform(const configtext::Config& menu, const configtext::Config& file, const QString& fileName)
{
    using namespace configtext;
    m_fileName = fileName;
    const QString menuName = QString::fromLatin1(kMenuName);
    const Difference d = Compare(menu, file);
    m_text = DiffText(d, menuName, menu, fileName, file);

    lblSummary->setText(QStringLiteral("The configuration in the menu (A) compared with the site file %1 (B): %2")
                            .arg(QFileInfo(fileName).fileName(), DiffSummary(d)));
    lblSummary->setToolTip(fileName);
    lstDiff->clear();
    const auto node = [this](const QString& title) {
        auto* item = new QTreeWidgetItem(lstDiff, {title});
        item->setFirstColumnSpanned(true);
        item->setExpanded(true);
        return item;
    };
    const auto add = [](QTreeWidgetItem* parent, const QStringList& columns) {
        auto* item = new QTreeWidgetItem(parent, columns);
        item->setToolTip(0, columns[0]);
        return item;
    };
    if (!d.notes.isEmpty() || !d.head.empty()) {
        QTreeWidgetItem* head = node(QStringLiteral("Site file head"));
        for (const QString& note : d.notes)
            add(head, {QStringLiteral("Note: ") + note})->setFirstColumnSpanned(true);
        for (const HeadDifference& h : d.head)
            add(head, {h.what, h.a, h.b});
        head->setExpanded(true);
    }
    QTreeWidgetItem* group = nullptr;
    Group shown = Group::Global;
    for (const CellDifference& c : d.cells) {
        if (!group || shown != c.cell->group) {
            shown = c.cell->group;
            group = node(GroupTitle(shown));
        }
        add(group, {c.cell->caption, c.a, c.b})->setToolTip(0, c.cell->name);
        group->setExpanded(true);
    }
    if (!d.bytes.empty()) {
        QTreeWidgetItem* bytes = node(QStringLiteral("Bytes outside every cell"));
        for (const ByteDifference& b : d.bytes)
            add(bytes, {QStringLiteral("Image byte %1").arg(b.offset), QStringLiteral("0x") + hexText(b.a, 2),
                        QStringLiteral("0x") + hexText(b.b, 2)});
        bytes->setExpanded(true);
    }
    lstDiff->expandAll();
    show();
    raise();
}

void frmCompare::cmdSave_Click()
{
    const QString name = m_session.dialogs().saveFile(
        {QStringLiteral("Save Differences"), QString::fromLatin1(kSaveFilter), 1, QStringLiteral("txt"), m_saveName});
    if (name.isEmpty())
        return;
    m_saveName = name;
    const QString error = sitefile::SaveFileBytes(name, m_text.toLatin1());
    if (!error.isEmpty())
        m_session.dialogs().inform(
            QStringLiteral("The differences were not saved:\n%1\n%2\nChoose another file or folder.").arg(name, error),
            QStringLiteral("Save Differences"));
}
