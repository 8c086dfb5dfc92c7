#include "AppcastEntry.h"
#include "CommandEntry.h"
#include "FuzzEntries.h"
#include "SelectionEntry.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

using namespace orv;

namespace {

using Entry = std::function<void(QByteArrayView)>;

const std::map<std::string, Entry>& entries() {
    static const std::map<std::string, Entry> all{
        {"hex_color", FuzzEntries::hexColor},
        {"clip_value", FuzzEntries::clipValue},
        {"image_thumbnail", FuzzEntries::imageThumbnail},
        {"file_url_list", FuzzEntries::fileUrlList},
        {"clipboard_reader", FuzzEntries::clipboardReader},
        {"user_defaults", FuzzEntries::userDefaults},
        {"appcast", FuzzEntries::appcast},
        {"command", FuzzEntries::command},
        {"selection", FuzzEntries::selection},
    };
    return all;
}

struct Input {
    std::string target;
    QString path;
    std::string name;
};

// Names the file in test listings instead of dumping the struct's bytes.
void PrintTo(const Input& input, std::ostream* out) {
    *out << input.path.toStdString();
}

std::vector<Input> inputs() {
    std::vector<Input> all;
    for (const auto& [target, entry] : entries()) {
        for (const char* root : {ORV_FUZZ_CORPUS, ORV_FUZZ_REGRESSIONS}) {
            const QDir folder(QString::fromUtf8(root) + u'/' + QString::fromStdString(target));
            const bool seeds = root == std::string(ORV_FUZZ_CORPUS);
            for (const QString& file : folder.entryList(QDir::Files, QDir::Name)) {
                std::string name = target + (seeds ? "_seed_" : "_found_") + file.toStdString();
                for (char& c : name) {
                    if (!std::isalnum(static_cast<unsigned char>(c))) {
                        c = '_';
                    }
                }
                all.push_back(
                    {target, folder.filePath(file), name + '_' + std::to_string(all.size())});
            }
        }
    }
    return all;
}

void failTest(const char* property, const char* file, int line) {
    ADD_FAILURE_AT(file, line) << "property broken: " << property;
}

class FuzzRegression : public ::testing::TestWithParam<Input> {
protected:
    void SetUp() override { FuzzCheck::onBroken = &failTest; }
    void TearDown() override { FuzzCheck::onBroken = &FuzzCheck::abortOnBroken; }
};

TEST_P(FuzzRegression, InputKeepsEveryProperty) {
    QFile file(GetParam().path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    const QByteArray bytes = file.readAll();
    entries().at(GetParam().target)(bytes);
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzRegression, ::testing::ValuesIn(inputs()),
                         [](const ::testing::TestParamInfo<Input>& info) {
                             return info.param.name;
                         });

// Every target has seeds, so that an entry that stopped being replayed would show here.
TEST(FuzzRegressionInputs, EveryTargetHasSeeds) {
    for (const auto& [target, entry] : entries()) {
        const QDir folder(QStringLiteral(ORV_FUZZ_CORPUS) + u'/' + QString::fromStdString(target));
        EXPECT_FALSE(folder.entryList(QDir::Files).isEmpty()) << target;
    }
}

}  // namespace
