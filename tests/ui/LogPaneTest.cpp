// The log pane on its own, offscreen: received bytes, the operator's typing,
// selection and copy, Clear, and where the view stays.

#include <LogPane.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class Pane : public ::testing::Test
{
protected:
    void SetUp() override
    {
        pane.resize(400, 200);
        pane.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
        pane.activateWindow();
        pane.setFocus();
    }

    void Receive(std::initializer_list<std::string> reads)
    {
        for (const std::string& read : reads)
            pane.AppendReceived(read.data(), read.size());
    }

    void Keys(std::initializer_list<Qt::Key> keys, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        for (const Qt::Key key : keys)
            QTest::keyClick(&pane, key, modifiers);
    }

    QString Text() const { return pane.toPlainText(); }
    QScrollBar* Scroll() const { return pane.verticalScrollBar(); }

    ui::CLogPane pane;
};

QString Lines(int first, int count)
{
    QString text;
    for (int n = first; n < first + count; ++n)
        text += QString("line %1\n").arg(n);
    return text;
}

} // namespace

// The operator types anywhere; received bytes go on at the end, continuing
// the device's line, and leave the operator's caret where it is.
TEST_F(Pane, TypedTextStaysAndReceivedBytesGoOnAtTheEnd)
{
    Receive({"line one\r\nline t"});
    Keys({Qt::Key_Home}, Qt::ControlModifier);
    // Typed as a Cyrillic keyboard layout sends it.
    QTest::sendKeyEvent(QTest::Press, &pane, Qt::Key_unknown, QString::fromUtf8("Да: "), Qt::NoModifier);
    Receive({"wo\r", "\n"});
    EXPECT_EQ(Text(), QString::fromUtf8("Да: line one\nline two\n"));
    EXPECT_EQ(pane.CaretPosition(), 4u);
    EXPECT_EQ(pane.Text().Bytes(0, 2), "\xC4\xE0");  // kept as Windows-1251

    // Enter breaks the line; Backspace and Delete take a byte each; typing
    // replaces a selection.
    Keys({Qt::Key_Return, Qt::Key_Backspace, Qt::Key_Backspace, Qt::Key_Delete});
    Keys({Qt::Key_Right, Qt::Key_Right}, Qt::ShiftModifier);
    QTest::keyClicks(&pane, "L");
    EXPECT_EQ(Text(), QString::fromUtf8("Да:Le one\nline two\n"));

    // At the very end the caret stays at the end.
    Keys({Qt::Key_End}, Qt::ControlModifier);
    QTest::keyClicks(&pane, "> ");
    Receive({"three"});
    QTest::keyClicks(&pane, "!");
    EXPECT_TRUE(Text().endsWith("\n> three!")) << Text().toStdString();
}

// What is selected reads as it is shown, across the reads it came in.
TEST_F(Pane, SelectionByKeysAndMouseIsCopiedAsShown)
{
    Receive({"ab", "c\r", "\nd\x01", "e f\r\n", "tail"});
    ASSERT_EQ(Text(), QString::fromUtf8("abc\nd␁e f\ntail"));

    Keys({Qt::Key_Home}, Qt::ControlModifier);
    Keys({Qt::Key_Right});
    Keys({Qt::Key_Down, Qt::Key_End}, Qt::ShiftModifier);
    EXPECT_EQ(pane.selectedText(), QString::fromUtf8("bc\nd␁e f"));
    Keys({Qt::Key_C}, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("bc\nd␁e f"));

    Keys({Qt::Key_A, Qt::Key_Insert}, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), Text());

    // From the first character to past the end of the text, then one word.
    QWidget* view = pane.viewport();
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(1, 1));
    QTest::mouseMove(view, QPoint(view->width() - 2, view->height() - 2));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(view->width() - 2, view->height() - 2));
    EXPECT_EQ(pane.selectedText(), Text());
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(pane.selectedText(), "abc");
    QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, QPoint(view->width() - 2, view->height() - 2));
    EXPECT_EQ(pane.selectedText(), Text());

    // Pasted back over the selection, the copy is the same bytes again.
    Keys({Qt::Key_C}, Qt::ControlModifier);
    const std::string before = pane.Text().Bytes(0, pane.Text().Size());
    Keys({Qt::Key_V}, Qt::ControlModifier);
    EXPECT_EQ(pane.Text().Bytes(0, pane.Text().Size()), before);
}

// A view at the end follows it; a view the operator scrolled up stays on
// the lines they read until they come back to the end.
TEST_F(Pane, ViewFollowsTheEndUntilTheReaderScrollsUp)
{
    Receive({Lines(0, 100).toStdString()});
    EXPECT_GT(Scroll()->maximum(), 0);
    EXPECT_TRUE(pane.FollowsEnd());
    EXPECT_EQ(Scroll()->value(), Scroll()->maximum());

    Keys({Qt::Key_PageUp});  // the caret is at the end: a page up from there
    Scroll()->setValue(10);
    Receive({Lines(100, 50).toStdString()});
    EXPECT_EQ(pane.FirstVisibleLine(), 10u);
    EXPECT_FALSE(pane.FollowsEnd());

    Scroll()->setValue(Scroll()->maximum());
    Receive({Lines(150, 50).toStdString()});
    EXPECT_TRUE(pane.FollowsEnd());
    EXPECT_EQ(pane.FirstVisibleLine(), 201u - Scroll()->pageStep());

    pane.Clear();
    EXPECT_EQ(Scroll()->maximum(), 0);
    Receive({"again"});
    EXPECT_EQ(pane.FirstVisibleLine(), 0u);
}

// NMEA sentences are checked whole, however they came in: a right checksum
// gets a quiet mark, a wrong one a red mark on a red line; plain text, a
// sentence without a checksum and a line still arriving get none. The
// received sentences are counted until Clear.
TEST_F(Pane, SentencesAreMarkedAndCountedWhole)
{
    Receive({"$GPHDT,251.2,T*31\r\n",            // right
             "$GPHDT,251.2,T*30\r\n",            // wrong
             "plain text\r\n",                   //
             "!AIVDM,1,1,,A,13u,0*", "51\r\n",   // right, in two reads
             "$GPHDT,251.2,T\r\n",               // no checksum
             "$GPHDT,251.2,T*31"});              // no line end yet
    EXPECT_EQ(pane.Sentences().seen, 3u);
    EXPECT_EQ(pane.Sentences().broken, 1u);
    EXPECT_TRUE(pane.SentencesText().contains(QString::fromUtf8("с ошибкой контрольной суммы: 1")));

    // The marks down the left edge, top to bottom: green, red, green.
    pane.clearFocus();
    const QImage image = pane.viewport()->grab().toImage();
    std::vector<QRgb> marks;
    int redRow = -1;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb mark = image.pixel(1, y);
        if (mark == image.pixel(image.width() - 1, image.height() - 1))
            continue;  // the background
        if (marks.empty() || marks.back() != mark)
            marks.push_back(mark);
        if (qRed(mark) > 200 && qGreen(mark) < 50)
            redRow = y;
    }
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_EQ(marks[0], marks[2]);
    EXPECT_NE(marks[0], marks[1]);
    ASSERT_GE(redRow, 0);
    EXPECT_NE(image.pixel(image.width() - 5, redRow), image.pixel(image.width() - 5, image.height() - 1))
        << "the broken sentence's line is red across";

    Receive({"\r\n"});  // the last sentence ends
    EXPECT_EQ(pane.Sentences().seen, 4u);

    // A line the operator breaks is a note: neither marked nor counted,
    // whatever it reads like; a received line keeps its verdict when the
    // operator writes into it.
    pane.setFocus();
    Keys({Qt::Key_Home}, Qt::ControlModifier);
    QTest::keyClicks(&pane, "$GPHDT,251.2,T*30");
    Keys({Qt::Key_Return});
    QTest::keyClicks(&pane, ">> ");
    using Mark = ui::CPaneModel::LineMark;
    const Mark expected[] = {Mark::None, Mark::Valid, Mark::Broken, Mark::None, Mark::Valid, Mark::None, Mark::Valid};
    for (std::size_t line = 0; line < std::size(expected); ++line)
        EXPECT_EQ(pane.Model().MarkOf(line), expected[line]) << "line " << line;
    EXPECT_EQ(pane.Sentences().seen, 4u);
    EXPECT_EQ(pane.Sentences().broken, 1u);
    pane.Clear();
    EXPECT_EQ(pane.Sentences().seen, 0u);
    EXPECT_EQ(pane.Sentences().broken, 0u);
}
