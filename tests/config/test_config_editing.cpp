#include "EditFixture.h"
#include "config/ConfigEditing.h"
#include "config/RowPictures.h"
#include "core/Texts.h"

using namespace miv;

namespace {

const QString on = QStringLiteral("вкл.");
const QString off = QStringLiteral("откл.");
const QString resetQuestion = QStringLiteral("Вы хотите сбросить моторесурс?");

class ConfigEditingTest : public EditFixture
{
protected:
    EditOutcome doubleClick(int row)
    {
        editor.selectRow(row);
        return editor.activateSelectedRow();
    }

    static Operator::ValueEditResult edited(const char *text, quint16 value)
    {
        return {QString::fromUtf8(text), value};
    }

    ConfigEditor editor{session, op};
};

TEST_F(ConfigEditingTest, selectionRecordsRowAndRawValue)
{
    readRelay();
    const struct
    {
        int row;
        quint16 raw;
    } cases[] = {
            {0, 10}, {1, 250}, {3, 25}, {7, 5},  {2, 0} /* disabled */,
            {23, 1}, {26, 0},  {31, 0}, {32, 0},
    };
    for (const auto &c : cases) {
        editor.selectRow(c.row);
        EXPECT_EQ(editor.selectedRow(), c.row);
        EXPECT_EQ(editor.selectedRawValue(), c.raw) << c.row;
    }
}

TEST_F(ConfigEditingTest, whileLockedADoubleClickOnlyAsksForThePassword)
{
    readRelay();
    flags.editingLocked = true;
    for (int row : {5, 24, 32}) {
        SCOPED_TRACE(row);
        const QString before = grid.text(row, ConfigGrid::Value);
        op.answerPassword(std::nullopt);
        EXPECT_EQ(doubleClick(row), EditOutcome::UnlockRefused);
        op.answerPassword(QStringLiteral("ABCE"));
        EXPECT_EQ(doubleClick(row), EditOutcome::UnlockRefused);
        EXPECT_EQ(op.shownTexts(), QStringList{Texts::passwordError});
        op.clearShown();
        EXPECT_TRUE(flags.editingLocked);
        EXPECT_EQ(grid.text(row, ConfigGrid::Value), before);
        EXPECT_TRUE(markedRows().isEmpty());
    }
    EXPECT_TRUE(line.requests().isEmpty());
    EXPECT_TRUE(op.editRequests().isEmpty());

    op.answerPassword(QStringLiteral("ABCD"));
    const EditOutcome outcome = doubleClick(5);
    EXPECT_EQ(outcome, EditOutcome::Unlocked);
    EXPECT_TRUE(needsTabRefresh(outcome));
    EXPECT_FALSE(flags.editingLocked);
    EXPECT_TRUE(op.editRequests().isEmpty()); // the row itself is not edited yet

    op.answerEdit(edited("45", 45));
    EXPECT_EQ(doubleClick(5), EditOutcome::ValueChanged);
    EXPECT_EQ(op.editRequests().size(), 1);
}

TEST_F(ConfigEditingTest, ratedVoltageAndEmptyRowsDoNothingEvenLocked)
{
    readRelay();
    grid.setText(12, ConfigGrid::Value, QString());
    for (bool locked : {true, false}) {
        flags.editingLocked = locked;
        // No answer is queued: any question would fail the test.
        EXPECT_EQ(doubleClick(8), EditOutcome::Nothing);
        EXPECT_EQ(doubleClick(12), EditOutcome::Nothing);
    }
    EXPECT_EQ(op.passwordPrompts(), 0);
    EXPECT_TRUE(op.editRequests().isEmpty());
}

TEST_F(ConfigEditingTest, passwordRowOpensTheChangeEvenLocked)
{
    readRelay();
    flags.editingLocked = true;
    op.answerPasswordChange(std::nullopt);
    relay().setRegister(0x43, quint16('C' << 8 | 'E'));
    EXPECT_EQ(doubleClick(ConfigRow::password), EditOutcome::PasswordChangeRun);
    EXPECT_EQ(op.passwordChangePrompts(), 1);
    EXPECT_EQ(op.passwordPrompts(), 0);
    EXPECT_EQ(device.password, QStringLiteral("ABCE")); // re-read after the dialog
    EXPECT_TRUE(flags.editingLocked);
}

TEST_F(ConfigEditingTest, aSwitchFlippedTwiceKeepsItsMarkAndItsRows)
{
    readRelay();
    ASSERT_EQ(grid.text(24, ConfigGrid::Value), on);
    const QString row4 = grid.text(4, ConfigGrid::Value);
    const QString row17 = grid.text(17, ConfigGrid::Value);

    EXPECT_EQ(doubleClick(24), EditOutcome::SwitchFlipped);
    EXPECT_EQ(grid.text(24, ConfigGrid::Value), off);
    EXPECT_EQ(grid.text(4, ConfigGrid::Value), Texts::functionOff);
    EXPECT_EQ(grid.text(17, ConfigGrid::Value), Texts::functionOff);
    EXPECT_EQ(editor.selectedRawValue(), 0);
    EXPECT_TRUE(flags.unwrittenChanges);

    EXPECT_EQ(editor.activateSelectedRow(), EditOutcome::SwitchFlipped);
    EXPECT_EQ(grid.text(24, ConfigGrid::Value), on);
    EXPECT_EQ(grid.text(4, ConfigGrid::Value), row4);
    EXPECT_EQ(grid.text(17, ConfigGrid::Value), row17);
    EXPECT_EQ(markedRows(), QList<int>{24});
    EXPECT_TRUE(line.requests().isEmpty());
}

TEST_F(ConfigEditingTest, aReadSinceTheSelectionDoesNotMisleadTheFlip)
{
    readRelay();
    editor.selectRow(26); // "откл."
    grid.setText(26, ConfigGrid::Value, on); // a read brought the relay's "вкл."
    EXPECT_EQ(editor.activateSelectedRow(), EditOutcome::SwitchFlipped);
    EXPECT_EQ(grid.text(26, ConfigGrid::Value), off);
}

TEST_F(ConfigEditingTest, tankAlgorithmFlipsOnlyOnTypeSix)
{
    readRelay();
    EXPECT_EQ(doubleClick(31), EditOutcome::Nothing);
    EXPECT_EQ(grid.text(31, ConfigGrid::Value), Texts::functionOff);
    EXPECT_TRUE(markedRows().isEmpty());
    EXPECT_FALSE(flags.unwrittenChanges);

    select(6, 6);
    readRelay();
    EXPECT_EQ(doubleClick(31), EditOutcome::SwitchFlipped);
    EXPECT_EQ(grid.text(31, ConfigGrid::Value), off);
}

TEST_F(ConfigEditingTest, motorHoursResetAsksFirstAndReportsAFailure)
{
    readRelay();
    op.answer(Operator::Answer::Cancel);
    EXPECT_EQ(doubleClick(32), EditOutcome::MotorHoursNotReset);
    EXPECT_TRUE(line.requests().isEmpty());
    ASSERT_EQ(op.shown().size(), 1);
    EXPECT_EQ(op.shown()[0].text, resetQuestion);
    EXPECT_EQ(op.shown()[0].icon, Operator::Icon::Warning);
    EXPECT_EQ(op.shown()[0].buttons, Operator::Buttons::OkCancel);

    op.clearShown();
    op.answer(Operator::Answer::Ok);
    EXPECT_EQ(doubleClick(32), EditOutcome::MotorHoursReset);
    EXPECT_EQ(writes(), QList<Write>({{0x70, 0}}));
    EXPECT_EQ(relay().registerValue(0x70), 0);
    EXPECT_EQ(op.shownTexts(), QStringList{resetQuestion});
    EXPECT_TRUE(markedRows().isEmpty());
    EXPECT_FALSE(flags.unwrittenChanges);

    RelayLine::Faults silent;
    silent.silent = true;
    line.setFaults(1, silent);
    op.clearShown();
    op.answer(Operator::Answer::Ok);
    EXPECT_EQ(doubleClick(32), EditOutcome::MotorHoursFailed);
    EXPECT_EQ(op.shownTexts(), QStringList({resetQuestion, Texts::linkError}));
    EXPECT_EQ(op.shown()[1].icon, Operator::Icon::Error);

    // The adapter pulled: the port is told lost, once, and stays closed.
    line.setFaults(1, {});
    port.vanish();
    session.reopenPort = [](QString *error) {
        *error = QStringLiteral("Нет такого порта");
        return false;
    };
    op.clearShown();
    op.answer(Operator::Answer::Ok);
    EXPECT_EQ(doubleClick(32), EditOutcome::MotorHoursFailed);
    ASSERT_EQ(op.shownTexts().size(), 2);
    EXPECT_TRUE(op.shownTexts()[1].startsWith(Texts::portLost.section(u'%', 0, 0)))
            << op.shownTexts()[1].toStdString();
    EXPECT_TRUE(op.shownTexts()[1].contains(QStringLiteral("Нет такого порта")));
}

TEST_F(ConfigEditingTest, editorRequestCarriesLimitsStepAndName)
{
    const struct
    {
        quint16 ratio;
        quint16 current; // register 0x51
        QString step;
        quint16 minimum;
        quint16 maximum;
        QString text;
    } cases[] = {
            {2, 475, ".01", 200, 999, "4,75"}, {20, 475, ".1", 200, 999, "47,5"},
            {200, 475, "1", 200, 999, "475"},  {3, 100, ".1", 30, 150, "10,0"},
            {1, 100, ".01", 100, 500, "1,00"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.ratio);
        relay().setRegister(0x50, c.ratio);
        relay().setRegister(0x51, c.current);
        readRelay();
        op.answerEdit(std::nullopt);
        EXPECT_EQ(doubleClick(1), EditOutcome::ValueUnchanged);
        const Operator::ValueEditRequest request = op.editRequests().back();
        EXPECT_EQ(request.caption, QStringLiteral("Номинальный ток электродвигателя, А"));
        EXPECT_EQ(request.initialText, c.text);
        EXPECT_EQ(request.stepText, c.step);
        EXPECT_EQ(request.minimum, c.minimum);
        EXPECT_EQ(request.maximum, c.maximum);
    }
    op.answerEdit(std::nullopt);
    doubleClick(15); // "Время пуска, с": the catalogue's limits
    EXPECT_EQ(op.editRequests().back().minimum, 1);
    EXPECT_EQ(op.editRequests().back().maximum, 300);
    EXPECT_EQ(op.editRequests().back().stepText, QStringLiteral("1"));
}

TEST_F(ConfigEditingTest, rowZeroDecidesTheResolutionOfRowsOneAndTwo)
{
    readRelay(); // ratio 10: ".1"
    op.answerEdit(edited("2", 2));
    EXPECT_EQ(doubleClick(0), EditOutcome::ValueChanged);
    op.answerEdit(std::nullopt);
    doubleClick(1);
    EXPECT_EQ(catalogue.step(1), QStringLiteral(".01"));
    EXPECT_EQ(catalogue.step(2), QStringLiteral(".01"));
    EXPECT_EQ(op.editRequests().back().minimum, 200);
    EXPECT_EQ(op.editRequests().back().maximum, 999);
}

TEST_F(ConfigEditingTest, anAcceptedValueIsMarkedOnlyWhenItDiffers)
{
    readRelay(); // row 3 "2,5"
    op.answerEdit(edited("2,5", 25));
    EXPECT_EQ(doubleClick(3), EditOutcome::ValueUnchanged);
    EXPECT_TRUE(markedRows().isEmpty());
    EXPECT_FALSE(flags.unwrittenChanges);

    // The grid takes the value formatted at the row's step, whatever the text.
    op.answerEdit(edited("3,", 30));
    EXPECT_EQ(doubleClick(3), EditOutcome::ValueChanged);
    EXPECT_EQ(grid.text(3, ConfigGrid::Value), QStringLiteral("3,0"));
    EXPECT_EQ(markedRows(), QList<int>{3});
    EXPECT_TRUE(flags.unwrittenChanges);

    // An editor that strays beyond the limits changes nothing.
    op.answerEdit(edited("9,9", 99));
    EXPECT_EQ(doubleClick(3), EditOutcome::ValueUnchanged);
    EXPECT_EQ(grid.text(3, ConfigGrid::Value), QStringLiteral("3,0"));
}

TEST_F(ConfigEditingTest, aDisabledRowIsNotEdited)
{
    readRelay(); // row 2 is disabled on type 4 (row 29 off)
    ASSERT_EQ(grid.text(2, ConfigGrid::Value), Texts::functionOff);
    EXPECT_EQ(doubleClick(2), EditOutcome::Nothing);
    EXPECT_TRUE(op.editRequests().isEmpty());
}

TEST(RowPictures, rowToImage)
{
    for (int row = 0; row <= 22; ++row)
        EXPECT_EQ(rowPictureIndex(row), row);
    EXPECT_EQ(rowPictureIndex(24), 23);
    EXPECT_EQ(rowPictureIndex(27), 24);
    EXPECT_EQ(rowPictureIndex(30), 25);
    EXPECT_EQ(rowPictureIndex(32), 26);
    for (int row : {-1, 23, 25, 26, 28, 29, 31, 33, 34})
        EXPECT_FALSE(rowPictureIndex(row)) << row;
}

} // namespace
