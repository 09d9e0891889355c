// The application title that message boxes without a caption show: the program file's base
// name, its extension dropped.
#include <gtest/gtest.h>

#include "platform/message_box.h"

namespace quillet {
namespace {

TEST(ProgramTitle, IsTheProgramFileNameWithoutExtension) {
    EXPECT_EQ(ProgramTitle(), "quillet_tests");
}

}  // namespace
}  // namespace quillet
