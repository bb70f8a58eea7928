// The line monitor: the same lines as the link trace for the same exchanges, its filter, pause,
// clear, save and cap, and no trace made while it is closed.

#include "linemonitor/frmLineMonitor.h"
#include "link/linktrace.h"
#include "support/bytes.h"
#include "support/fakesession.h"
#include "support/widgets.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testbytes;

TEST(LineMonitor, ShowsTheTraceLinesFiltersPausesSavesAndCostsNothingClosed)
{
    TestSession t;
    t.start();
    QTemporaryDir dir;
    frmLineMonitor w(t.s());
    EXPECT_FALSE(lcLink().isDebugEnabled()) << "no trace is made for a closed monitor";
    w.show();
    EXPECT_TRUE(lcLink().isDebugEnabled());
    const QString traceFile = dir.filePath("link.trace");
    ASSERT_TRUE(linktrace::TraceToFile(traceFile).isEmpty());

    // An identification answered, a burst with a bad CRC, a stale answer, a lost one.
    frmCDR& link = t.link();
    auto answer = [&](const Bytes& frame) {
        t.port->receive(qbytes(frame));
        TestSession::pump(70);
    };
    modComFun::BuildCommand(link, modComFun::KindDiagData, 17, 0, 0);
    Bytes bad = modComFun::AnswerFrame(17, modComFun::DiagData, {1, 2});
    bad.back() ^= 1;
    answer(bad);
    answer(modComFun::AnswerFrame(17, modComFun::DiagData, {1, 2}));
    answer(modComFun::AnswerFrame(17, modComFun::Identify, {0, 0, 1, 3, 0x39, 0x30}));
    link.responseMs = 50;
    modComFun::BuildCommand(link, modComFun::KindDiagData, 17, 0, 0);
    ASSERT_TRUE(TestSession::waitFor([&] { return !link.outstanding().open; }, 2000));
    ASSERT_TRUE(linktrace::TraceToFile(QString()).isEmpty());

    const QStringList traced = QString::fromUtf8(fileBytes(traceFile)).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(traced.size(), 6);
    EXPECT_EQ(QStringList(w.Lines().begin(), w.Lines().end()), traced);
    EXPECT_TRUE(w.txtLines->toPlainText().endsWith(traced.back()));
    for (const char* event : {" sent 11 1F ", " refused 11 1F ", " taken 11 1F ", " stale 11 22 ", " time-out: "})
        EXPECT_TRUE(traced.join('\n').contains(event)) << event;

    // Only code 34's lines with the filter; pause takes nothing; save writes what is shown.
    ui::type(w.txtFilter, "34");
    EXPECT_EQ(w.ShownLines(), traced.filter(" 11 22 "));
    EXPECT_EQ(w.txtLines->toPlainText(), traced.filter(" 11 22 ").join('\n'));
    ui::click(w.cmdPause);
    modComFun::BuildCommand(link, modComFun::KindIdentify, 17, 0, 0);
    EXPECT_EQ(static_cast<int>(w.Lines().size()), traced.size());
    ui::click(w.cmdPause);
    t.dialogs->files = {dir.filePath("lines")};
    ui::click(w.cmdSave);
    EXPECT_EQ(fileBytes(dir.filePath("lines.txt")), (traced.filter(" 11 22 ").join('\n') + '\n').toUtf8());

    // The last 10,000 lines are kept; clear empties it; closed, it takes nothing.
    ui::type(w.txtFilter, "");
    for (int i = 0; i < frmLineMonitor::kMaxLines + 5; ++i)
        qCDebug(lcLink).noquote() << "sent 11 1F" << i;
    ASSERT_EQ(static_cast<int>(w.Lines().size()), frmLineMonitor::kMaxLines);
    EXPECT_TRUE(w.Lines().front().endsWith(" sent 11 1F 5"));
    EXPECT_EQ(frmLineMonitor::LineCode(w.Lines().front()), 0x1F);
    ui::click(w.cmdClear);
    EXPECT_TRUE(w.Lines().empty() && w.txtLines->toPlainText().isEmpty());
    ui::click(w.cmdClose);
    EXPECT_FALSE(lcLink().isDebugEnabled());
    qCDebug(lcLink) << "sent 11 1F";
    EXPECT_TRUE(w.Lines().empty());
}
