// The legend of the display fields against the three things it describes:
// the field list, the layout's pages, and the copies the decoders and the
// geodetic conversion actually make.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "support/fake_form.h"
#include "field_legend.h"
#include "support/telemetry_frames.h"

namespace telemetry::testing {
namespace {

using CopyPair = std::pair<Field, Field>;  // source, copy

std::set<CopyPair> legendCopies()
{
    std::set<CopyPair> pairs;
    for (const FieldLegend& entry : kFieldLegend)
        if (entry.copy)
            pairs.insert({entry.field, *entry.copy});
    return pairs;
}

std::string namesOf(const std::set<CopyPair>& pairs)
{
    std::string out;
    for (const auto& [source, copy] : pairs)
        out += std::string(fieldName(source)) + "->" + fieldName(copy) + " ";
    return out;
}

TEST(FieldLegend, HasOneEntryPerFieldAtTheFieldsIndex)
{
    for (std::size_t i = 0; i < kFieldLegend.size(); ++i) {
        const Field field = static_cast<Field>(i);
        EXPECT_EQ(kFieldLegend[i].field, field)
            << "entry " << i << " is " << fieldName(kFieldLegend[i].field) << ", the list has "
            << fieldName(field) << " there";
        EXPECT_EQ(&legendOf(field), &kFieldLegend[i]);
        EXPECT_NE(std::string(kFieldLegend[i].shows), "") << fieldName(field);
    }
}

// Every operator-page field is the copy of exactly one service-page field
// and shows the same thing in the same unit; no copy is copied again.
TEST(FieldLegend, EachOperatorFieldCopiesOneServiceField)
{
    for (const FieldLegend& entry : kFieldLegend) {
        int sources = 0;
        for (const FieldLegend& other : kFieldLegend) {
            if (other.copy != entry.field)
                continue;
            ++sources;
            EXPECT_EQ(other.page, Page::Service) << fieldName(other.field);
            EXPECT_EQ(std::string(other.shows), entry.shows) << fieldName(entry.field);
            EXPECT_EQ(std::string(other.unit), entry.unit) << fieldName(entry.field);
        }
        if (entry.page == Page::Operator) {
            EXPECT_EQ(sources, 1) << fieldName(entry.field);
            EXPECT_FALSE(entry.copy) << fieldName(entry.field);
        } else {
            EXPECT_EQ(sources, 0) << fieldName(entry.field);
        }
    }
}

// The page of each entry is the page the layout puts the control on: the
// control lies inside the last page opened before it in TForm1.ui.
TEST(FieldLegend, PagesAreThoseOfTheLayout)
{
    std::ifstream file(KALVI7_FORM_UI);
    ASSERT_TRUE(file) << KALVI7_FORM_UI;
    std::stringstream content;
    content << file.rdbuf();
    const std::string ui = content.str();

    const std::size_t operatorPage = ui.find("name=\"TabSheet2\"");
    const std::size_t servicePage = ui.find("name=\"TabSheet1\"");
    ASSERT_NE(operatorPage, std::string::npos);
    ASSERT_NE(servicePage, std::string::npos);

    for (const FieldLegend& entry : kFieldLegend) {
        const std::string name = std::string("name=\"") + fieldName(entry.field) + "\"";
        const std::size_t at = ui.find(name);
        ASSERT_NE(at, std::string::npos) << name;
        EXPECT_EQ(ui.find(name, at + 1), std::string::npos) << name << " twice";
        ASSERT_GT(at, std::min(operatorPage, servicePage)) << name << " outside the pages";
        const bool onOperatorPage = operatorPage > servicePage ? at > operatorPage : at < servicePage;
        EXPECT_EQ(entry.page, onOperatorPage ? Page::Operator : Page::Service) << name;
    }
}

// A form that notes every copy made on it: a text written into a field
// right after it was read, unchanged, from another field.
class CopyRecorder : public FakeForm {
public:
    std::set<CopyPair> copies;

    std::string text(Field f) const override
    {
        lastRead_ = {f, FakeForm::text(f)};
        return lastRead_->second;
    }
    void setText(Field f, const std::string& text) override
    {
        if (lastRead_ && lastRead_->first != f && lastRead_->second == text)
            copies.insert({lastRead_->first, f});
        lastRead_.reset();
        FakeForm::setText(f, text);
    }
    void setEditText(Editor e, const std::string& text) override
    {
        lastRead_.reset();
        FakeForm::setEditText(e, text);
    }
    void setChecked(Box b, bool on) override
    {
        lastRead_.reset();
        FakeForm::setChecked(b, on);
    }

private:
    mutable std::optional<std::pair<Field, std::string>> lastRead_;
};

// Every packet, the watchdog, and a telemetry packet of a moving radiosonde
// so that the geodetic conversion writes every one of its fields with
// distinct texts: the copies made are exactly the legend's.
TEST(FieldLegend, CopiesAreTheOnesTheDecodersMake)
{
    CopyRecorder form;
    RxBody moving = telemetryBody();
    moving.i16(20, 1234).i16(22, -2345).i16(24, 567);

    dispatchFrame(telemetryBody(), form);
    dispatchFrame(moving, form);
    dispatchFrame(calibrationBody(), form);
    dispatchFrame(settingsBody(), form);
    dispatchFrame(stateBody(), form);
    Timer3Timer(form);
    dispatchFrame(moving, form);

    EXPECT_EQ(form.copies, legendCopies())
        << "made: " << namesOf(form.copies) << "\nlegend: " << namesOf(legendCopies());
    for (const auto& [source, copy] : legendCopies())
        EXPECT_EQ(form.field(copy), form.field(source)) << fieldName(copy);
}

}  // namespace
}  // namespace telemetry::testing
