// The shipped udev rule: udev compares attributes as text, and sysfs writes USB IDs in lower
// case, so a rule with "0C45" silently matches nothing; the uaccess tag only works from a file
// that sorts before the seat rules (73-seat-late.rules).

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace vq::test {
namespace {

TEST(UdevRule, GivesTheSeatAccessToEachDeviceByLowerCaseIds) {
    const std::string name = "70-varnhold-quillet.rules";
    EXPECT_LT(name, std::string("73-seat-late.rules"));
    std::ifstream file(std::string(VQ_SOURCE_DIR) + "/dist/linux/" + name);
    ASSERT_TRUE(file) << "the rule file is missing";
    const std::regex rule(R"re(^SUBSYSTEM=="hidraw", ATTRS\{idVendor\}=="([0-9a-f]{4})", )re"
                          R"re(ATTRS\{idProduct\}=="([0-9a-f]{4})", TAG\+="uaccess"$)re");
    std::set<std::string> products;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, rule)) << "unexpected rule: " << line;
        EXPECT_EQ(m[1], "0c45");
        products.insert(m[2]);
    }
    EXPECT_EQ(products, (std::set<std::string>{"7643", "6556", "5004"}));
}

}  // namespace
}  // namespace vq::test
