// The list of output types that front-ends offer: every type in it goes by
// its own name and extension, and each name leads back to it.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "zumen/zumen.h"

namespace zumen {
namespace {

TEST(OutputTypes, EachListedTypeIsFoundByItsNameAndExtension) {
  std::set<std::string> names;
  for (const OutputType t : OutputTypes()) {
    const std::string name = OutputTypeName(t);
    SCOPED_TRACE(name);
    EXPECT_FALSE(name.empty());
    EXPECT_TRUE(names.insert(name).second) << "listed twice";
    EXPECT_EQ(OutputTypeFromName(name), t);
    EXPECT_EQ(OutputTypeFromName(std::string("dir.x/plan") + OutputTypeExtension(t)), t);
    EXPECT_EQ(std::string(".") + name, OutputTypeExtension(t));
  }
  // The aliases people type lead to listed types.
  for (const char* alias : {"jpeg", "tiff", "PNG"}) {
    ASSERT_TRUE(OutputTypeFromName(alias)) << alias;
    EXPECT_TRUE(names.count(OutputTypeName(*OutputTypeFromName(alias)))) << alias;
  }
}

}  // namespace
}  // namespace zumen
