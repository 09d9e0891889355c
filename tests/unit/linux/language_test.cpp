// quillet's language layer: sentences filled in the order a translation puts their values, the
// answers that mean yes, and the core's box texts the catalogues carry.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "catalogue/catalogue_messages.h"
#include "cli/box_texts.h"
#include "cli/language.h"
#include "update/download.h"
#include "update/firmware_image.h"

namespace quillet {
namespace {

TEST(LanguageTest, FillPutsEachValueWhereTheTranslationNamesIt) {
    struct Row {
        const char* name;
        const char* text;
        std::string expected;
    };
    const Row rows[] = {
        {"in order", "{1} is mounted on {2}.", "/dev/sr0 is mounted on /media."},
        {"reordered", "Auf {2} ist {1} eingehängt.", "Auf /media ist /dev/sr0 eingehängt."},
        {"repeated", "umount {2}, then {2} again", "umount /media, then /media again"},
        {"beyond the values", "{1} and {3}", "/dev/sr0 and {3}"},
        {"braces of the text", "{x} {12} {", "{x} {12} {"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Fill(row.text, {"/dev/sr0", "/media"}), row.expected) << row.name;
    }
}

TEST(LanguageTest, AnswersStartingWithYAlwaysMeanYes) {
    // Without a catalogue: the English answers.
    struct Row {
        const char* answer;
        bool yes;
    };
    const Row rows[] = {{"y", true}, {"Yes", true}, {"  yes please", true}, {"n", false},
                        {"", false}, {" ", false},  {"no", false},          {"ja", false}};
    for (const Row& row : rows) {
        EXPECT_EQ(MeansYes(row.answer), row.yes) << "\"" << row.answer << "\"";
    }
}

TEST(LanguageTest, TheCatalogueCarriesEveryBoxTextTheCoreShowsQuillet) {
    for (const char* text :
         {kOperationStopped, kOperationStoppedCaption, kPassThroughCaption, kDiscInDriveCaption,
          kFirmwareWriteError, kMediaChangeNotificationError, kDriveOpenError,
          kFirmwareFileOpenError, kFirmwareFileReadError, kFirmwareFileSizeError,
          kFirmwareFileNameError}) {
        EXPECT_TRUE(std::any_of(std::begin(kBoxTexts), std::end(kBoxTexts),
                                [&](const char* marked) { return std::string(marked) == text; }))
            << text;
    }
}

TEST(LanguageTest, UntranslatedScopeKeepsTheMachinesWords) {
    const UntranslatedScope english;
    EXPECT_STREQ(Translate("Interrupted."), "Interrupted.");
    EXPECT_STREQ(Translate(""), "");
    EXPECT_STREQ(TranslatePlural("block", "blocks", 2), "blocks");
    EXPECT_EQ(ErrorText(EACCES), "Permission denied");
}

}  // namespace
}  // namespace quillet
