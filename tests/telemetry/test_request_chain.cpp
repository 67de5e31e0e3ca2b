#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "common/formats.h"
#include "support/fake_form.h"
#include "support/telemetry_frames.h"
#include "telemetry/telemetry.h"

namespace telemetry::testing {
namespace {

using Masks = std::vector<std::uint8_t>;

class RequestChain : public ::testing::Test {
protected:
    void SetUp() override { formats::setTimeSeparator(":"); }
    void set(Box box, bool on) { form.boxes[static_cast<std::size_t>(box)] = on; }
    // Masks sent since the last call.
    Masks sent()
    {
        EXPECT_TRUE(form.wireWellFormed());
        Masks masks = form.requestMasks();
        form.wire.clear();
        return masks;
    }
    FakeForm form;
};

TEST_F(RequestChain, OneChainWithoutCyclicTelemetry)
{
    Timer3Timer(form);
    EXPECT_EQ(sent(), (Masks{0x01, 0x01}));
    dispatchFrame(telemetryBody(), form);
    EXPECT_EQ(sent(), (Masks{0x00, 0x02}));
    dispatchFrame(calibrationBody(), form);
    EXPECT_EQ(sent(), (Masks{0x00, 0x04}));
    dispatchFrame(settingsBody(), form);
    EXPECT_EQ(sent(), (Masks{0x00, 0x08}));
    dispatchFrame(stateBody(), form);
    EXPECT_EQ(sent(), (Masks{0x00}));
    EXPECT_EQ(form.boxes, (std::array<bool, 5>{}));
}

TEST_F(RequestChain, OneChainWithCyclicTelemetry)
{
    set(Box::CheckBox54, true);
    Timer3Timer(form);
    dispatchFrame(telemetryBody(), form);
    dispatchFrame(calibrationBody(), form);
    dispatchFrame(settingsBody(), form);
    dispatchFrame(stateBody(), form);
    EXPECT_EQ(sent(), (Masks{0x81, 0x81, 0x83, 0x81, 0x85, 0x81, 0x89, 0x81}));

    // The next telemetry packet starts the chain again; one that finds the
    // calibration still awaited sends nothing.
    dispatchFrame(telemetryBody(), form);
    EXPECT_EQ(sent(), (Masks{0x83}));
    dispatchFrame(telemetryBody(), form);
    EXPECT_EQ(sent(), Masks{});
}

TEST_F(RequestChain, CyclicTelemetryWhileSettingsAreAwaited)
{
    set(Box::CheckBox54, true);
    set(Box::CheckBox26, true);
    set(Box::CheckBox33, true);
    dispatchFrame(telemetryBody(), form);
    EXPECT_EQ(sent(), (Masks{0x87}));
    dispatchFrame(calibrationBody(), form);  // CheckBox33 is already checked
    EXPECT_EQ(sent(), (Masks{0x85}));
}

TEST_F(RequestChain, UnaskedPacketsStillMoveTheChainOn)
{
    dispatchFrame(settingsBody(), form);
    EXPECT_EQ(sent(), (Masks{0x08}));  // CheckBox33 was clear: only the state request
    EXPECT_TRUE(form.box(Box::CheckBox43));
}

TEST_F(RequestChain, OperatorSwitches)
{
    // The cyclic switch sends nothing itself; its bit rides with the next frame.
    form.click(Box::CheckBox54);
    EXPECT_EQ(sent(), Masks{});
    form.click(Box::CheckBox43);
    EXPECT_EQ(sent(), (Masks{0x88}));
    dispatchFrame(stateBody(), form);
    EXPECT_EQ(sent(), (Masks{0x80}));
    form.click(Box::CheckBox54);
    form.click(Box::CheckBox32);
    EXPECT_EQ(sent(), (Masks{0x02}));
}

TEST_F(RequestChain, PacketsThatMoveNoBoxSendNothing)
{
    for (const std::uint8_t type : {protocol::PT_ACK, protocol::PT_REQUEST, std::uint8_t{0x85},
                                    std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
        dispatchFrame(RxBody(type, 3).u8(2, 2), form);
        EXPECT_EQ(sent(), Masks{}) << int{type};
        EXPECT_TRUE(form.textLog.empty()) << int{type};
    }
}

// --- Watchdog ----------------------------------------------------------------

TEST_F(RequestChain, WatchdogBlanksTheSixtyFourFieldsInOrder)
{
    form.setAllFields("значение");
    Timer3Timer(form);

    const std::vector<Field> expected{
        Field::Label52,  Field::Label47,  Field::Label48,  Field::Label50,  Field::Label51,  Field::Label53,
        Field::Label4,   Field::Label49,  Field::Label6,   Field::Label7,   Field::Label8,   Field::Label9,
        Field::Label12,  Field::Label13,  Field::Label18,  Field::Label21,  Field::Label22,  Field::Label23,
        Field::Label24,  Field::Label25,  Field::Label26,  Field::Label44,  Field::Label40,  Field::Label5,
        Field::Label77,  Field::Label78,  Field::Label79,  Field::Label80,  Field::Label81,  Field::Label82,
        Field::Label83,  Field::Label85,  Field::Label17,  Field::Label55,  Field::Label56,  Field::Label63,
        Field::Label64,  Field::Label65,  Field::Label57,  Field::Label58,  Field::Label59,  Field::Label60,
        Field::Label61,  Field::Label62,  Field::Label66,  Field::Label67,  Field::Label68,  Field::Label69,
        Field::Label70,  Field::Label74,  Field::Label75,  Field::Label76,  Field::Label90,  Field::Label91,
        Field::Label111, Field::Label134, Field::Label136, Field::Label138, Field::Label119, Field::Label127,
        Field::Label128, Field::Label131, Field::Label132, Field::Label113};
    std::vector<Field> order;
    for (const auto& write : form.textLog) {
        order.push_back(write.field);
        EXPECT_EQ(write.text, "-");
    }
    EXPECT_EQ(order, expected);
    // ...which is every display field, each once.
    EXPECT_EQ(std::set<Field>(order.begin(), order.end()).size(), static_cast<std::size_t>(kFieldCount));
    EXPECT_EQ(form.timerRestarts, 1);
}

TEST_F(RequestChain, WatchdogLeavesTheEditorsToAnOperatorWhoIsEditing)
{
    form.editors.fill("1,5");
    form.edit1IsReadOnly = false;
    Timer3Timer(form);
    for (const auto& text : form.editors)
        EXPECT_EQ(text, "1,5");

    form.edit1IsReadOnly = true;
    Timer3Timer(form);
    for (const auto& text : form.editors)
        EXPECT_EQ(text, "-");
}

TEST_F(RequestChain, WatchdogRequestsTelemetryAgainEveryExpiry)
{
    // After a completed chain: two frames (the box changes, then the
    // direct call), then one per further expiry.
    Timer3Timer(form);
    dispatchFrame(telemetryBody(), form);
    dispatchFrame(calibrationBody(), form);
    dispatchFrame(settingsBody(), form);
    dispatchFrame(stateBody(), form);
    form.wire.clear();
    form.radioButton1 = true;
    form.statusText = "Настройки сохранены 14:05:09";

    Timer3Timer(form);
    EXPECT_EQ(sent(), (Masks{0x01, 0x01}));
    Timer3Timer(form);
    EXPECT_EQ(sent(), (Masks{0x01}));
    EXPECT_TRUE(form.radioButton1);
    EXPECT_EQ(form.statusText, "Настройки сохранены 14:05:09");
}

TEST_F(RequestChain, WatchdogKeepsTheBitOfAPacketStillAwaited)
{
    dispatchFrame(telemetryBody(), form);  // calibration requested, then lost
    form.wire.clear();
    Timer3Timer(form);
    EXPECT_EQ(sent(), (Masks{0x03, 0x03}));
    EXPECT_TRUE(form.box(Box::CheckBox32));
}

TEST_F(RequestChain, TelemetryAfterTheWatchdogOverwritesTheDashes)
{
    Timer3Timer(form);
    form.clearRecords();
    dispatchFrame(telemetryBody(), form);
    std::set<Field> written;
    for (const auto& write : form.textLog) {
        written.insert(write.field);
        EXPECT_NE(write.text, "-") << fieldName(write.field);
    }
    EXPECT_EQ(written.size(), 44u);  // every telemetry and geodetic field
}

TEST(ControlNames, NameEveryControlByItsControlName)
{
    std::set<std::string> names;
    for (int i = 0; i < kFieldCount; ++i) {
        const std::string name = fieldName(static_cast<Field>(i));
        EXPECT_EQ(name.rfind("Label", 0), 0u) << name;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kFieldCount));
    EXPECT_STREQ(fieldName(Field::Label4), "Label4");
    EXPECT_STREQ(fieldName(Field::Label138), "Label138");
    EXPECT_STREQ(editorName(Editor::Edit1), "Edit1");
    EXPECT_STREQ(editorName(Editor::Edit6), "Edit6");
    EXPECT_STREQ(boxName(Box::CheckBox26), "CheckBox26");
    EXPECT_STREQ(boxName(Box::CheckBox54), "CheckBox54");
}

}  // namespace
}  // namespace telemetry::testing
