#include "core/site/detector.h"

#include <gtest/gtest.h>

#include <string>

#include "core/access/translator.h"
#include "core/common/inifile.h"
#include "support/tempdir.h"

namespace quillark {
namespace {

std::string TrimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

class DetectorTest : public ::testing::Test {
 protected:
  DetectorTest() : ini(dir / "quillark.ini"), translator(nullptr, nullptr), detector(&translator) {}

  test::TempDir dir;
  INIfile ini;
  Translator translator;
  Detector detector;
};

TEST_F(DetectorTest, NamesComeFromTheTextTablePaddedToOneWidth) {
  std::string unknown = detector.GetTypeName(UNKNOWN);
  EXPECT_EQ(TrimRight(unknown), "Unknown");
  EXPECT_GT(unknown.size(), std::string("Unknown").size());
  EXPECT_LE(unknown.size(), 32u);
  EXPECT_EQ(TrimRight(detector.GetTypeName(PELORINVANTOR)), "Pelorin-Vantor detector");
  EXPECT_EQ(TrimRight(detector.GetTypeName(ARRAYSCANCELL)), "Array scan cell");
  EXPECT_EQ(TrimRight(detector.GetTypeName(PELORIN2000DETECTOR)), "Pelorin 2000 detector");
  EXPECT_EQ(TrimRight(detector.GetTypeName(PELORIN2000BUSMASTER)), "Pelorin 2000 command module");
  EXPECT_EQ(TrimRight(detector.GetTypeName(PELORINTINDLE)), "Pelorin-Tindle");
}

TEST_F(DetectorTest, CodesOutsideTheTableOrNoTranslatorAreUnknown) {
  for (int code : {20, 21, 255, -1, -100}) EXPECT_EQ(detector.GetTypeName(code), "unknown");
  EXPECT_EQ(detector.GetTypeName(20, &ini), "unknown");
  Detector bare(nullptr);
  EXPECT_EQ(bare.GetTypeName(PELORINVANTOR), "unknown");
  EXPECT_EQ(bare.GetTypeName(PELORINVANTOR, &ini), "unknown");
}

TEST_F(DetectorTest, NamesAreEnglishWhateverTheLanguage) {
  // In Dutch, 14201 + 2 would be the name of model 3.
  ini.WriteString("Product", "Language", "2");
  Translator dutch(&ini, nullptr);
  Detector d(&dutch);
  EXPECT_EQ(TrimRight(d.GetTypeName(PELORINVANTOR)), "Pelorin-Vantor detector");
}

TEST_F(DetectorTest, SettingsRenameHideAndCutNames) {
  ini.WriteString("DetectorNames", "Name1", "Vantor VLF");
  ini.WriteString("DetectorNames", "Name4", "");
  ini.WriteString("DetectorNames", "Name9", std::string(40, 'x'));
  EXPECT_EQ(detector.GetTypeName(1, &ini), "Vantor VLF");
  EXPECT_EQ(detector.GetTypeName(4, &ini), "");  // hidden from the model list
  EXPECT_EQ(std::string(detector.GetTypeName(9, &ini)), std::string(32, 'x'));
  // Not renamed: the table's name. Without the settings the rename is not seen.
  EXPECT_EQ(TrimRight(detector.GetTypeName(3, &ini)), "Pelorin-Ferrow");
  EXPECT_EQ(TrimRight(detector.GetTypeName(1)), "Pelorin-Vantor detector");
}

TEST_F(DetectorTest, NamesHeldAtOnceStayTheirOwn) {
  const std::string a = detector.GetTypeName(ORVALER7);
  Detector other(&translator);
  const std::string b = other.GetTypeName(ORVALEKEEN);
  EXPECT_EQ(TrimRight(b), "Orvale Keen");
  EXPECT_NE(TrimRight(a), TrimRight(b));
}

TEST(Detector, FaultDelayDependsOnFirmwareVersion) {
  struct Case {
    int model, version;
    std::int32_t expected;
  };
  const Case cases[] = {
      {PELORINLUMO, 21, 0},
      {PELORINLUMO, 22, CAP_FAULTDELAY},
      {PELORIN2000DETECTOR, 21, 0},
      {PELORIN2000DETECTOR, 22, CAP_FAULTDELAY},
      {PELORINLUMO100, 0, 0},
      {DOT25, 21, 0},
      {DOT100, 30, CAP_FAULTDELAY},
      {PELORINZEDRA, 9, 0},
      {PELORINZEDRA, 10, CAP_FAULTDELAY},
      {PELORINTINDLE, 0, CAP_FAULTDELAY},
      {PELORINTINDLE, 255, CAP_FAULTDELAY},
      {PELORINVANTOR, 99, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Detector::GetModelCaps(c.model, CAP_FAULTDELAY, c.version), c.expected)
        << "model " << c.model << " version " << c.version;
  }
  // The version rule touches only the fault delay bit.
  EXPECT_EQ(Detector::GetModelCaps(PELORINLUMO, Detector::all, Detector::none), 0x1FE1F);
  EXPECT_EQ(Detector::GetModelCaps(PELORINLUMO, Detector::all, 22), 0x3FE1F);
}

TEST(Detector, CapabilitiesAreMaskedByTheAskedBits) {
  EXPECT_EQ(Detector::GetModelCaps(PELORIN2000POWERSUPPLY, CAP_FAULT | CAP_AUX, 0), CAP_FAULT);
  EXPECT_EQ(Detector::GetModelCaps(PELORIN2000POWERSUPPLY, Detector::all, 0), 0x08A01);
  EXPECT_EQ(Detector::GetModelCaps(PELORINVANTOR, CAP_RESET | CAP_ISOLATE | CAP_HISTOGRAM, 0),
            CAP_RESET | CAP_ISOLATE | CAP_HISTOGRAM);
  EXPECT_EQ(Detector::GetModelCaps(ORVALER7, CAP_RESET, 0), 0);
  EXPECT_EQ(Detector::GetModelCaps(PCBUSMASTER, Detector::all, 0), 0);
  EXPECT_EQ(Detector::GetModelCaps(ARRAYSCANCELL, Detector::all, 0), 0x0007F);
  // Bits 0x80 and 0x100 are never set.
  for (int model = 0; model < 20; ++model)
    EXPECT_EQ(Detector::GetModelCaps(model, 0x180, 99), 0) << model;
  for (int model : {20, 21, -1, -2147483647 - 1}) {
    EXPECT_EQ(Detector::GetModelCaps(model, Detector::all, 99), 0) << model;
    EXPECT_EQ(Detector::GetModelProgramCaps(model, Detector::all, 99), 0) << model;
  }
}

TEST(Detector, FunctionPagesPerModel) {
  const std::int32_t vantor = FP_LEVELS | FP_ACTIONS | FP_REFERENCING | FP_POWER | FP_FLOW |
                              FP_DAYNIGHT | FP_TIME | FP_PANEL | FP_MISCELLANEOUS;
  const std::int32_t p2000 = FP_LEVELS2K | FP_ACTIONS2K | FP_REFERENCING2K | FP_POWER2K |
                             FP_FLOW2K | FP_DAYNIGHT | FP_TIME | FP_PANEL | FP_MISCELLANEOUS;
  const std::int32_t lumo = FP_LEVELS2K | FP_ACTIONS2K | FP_REFERENCING2K | FP_POWER2K | FP_FLOW |
                            FP_DAYNIGHT | FP_TIME | FP_MISCELLANEOUS;
  const std::int32_t module =
      FP_ACTIONS2K | FP_POWER2K | FP_TIME | FP_PANEL | FP_PAGER | FP_ARRAY | FP_BUSSETUP;
  const std::int32_t tindle = FP_TIME | FP_MISCTINDLE | FP_LEVELSTINDLE | FP_FLOWTINDLE;
  for (int model = 0; model < 20; ++model) {
    std::int32_t expected = 0;
    if (model == 1 || model == 3) expected = vantor;
    if (model == 6) expected = p2000;
    if (model == 8) expected = module;
    if (model >= 11 && model <= 15) expected = lumo;
    if (model == 19) expected = tindle;
    EXPECT_EQ(Detector::GetModelProgramCaps(model, Detector::all, 99), expected) << model;
  }
  // The command module's bus set-up page needs firmware 17.
  EXPECT_EQ(Detector::GetModelProgramCaps(PELORIN2000BUSMASTER, FP_BUSSETUP, 16), 0);
  EXPECT_EQ(Detector::GetModelProgramCaps(PELORIN2000BUSMASTER, FP_BUSSETUP, 17), FP_BUSSETUP);
  EXPECT_EQ(Detector::GetModelProgramCaps(PELORIN2000BUSMASTER, Detector::all, Detector::none),
            module & ~FP_BUSSETUP);
  EXPECT_EQ(Detector::GetModelProgramCaps(PELORINVANTOR, FP_FLOW | FP_FLOW2K, 0), FP_FLOW);
}

TEST(Detector, AspiratorSpeeds) {
  for (int model = -3; model < 30; ++model) {
    int expected = 1;
    if (model == 1 || model == 3) expected = 10;
    if (model == 6) expected = 16;
    EXPECT_EQ(Detector::GetAspiratorSpeeds(model), expected) << model;
  }
}

TEST(Detector, IntToModel) {
  EXPECT_EQ(Detector::IntToModel(0), UNKNOWN);
  EXPECT_EQ(Detector::IntToModel(1), PELORINVANTOR);
  EXPECT_EQ(Detector::IntToModel(8), PELORIN2000BUSMASTER);
  EXPECT_EQ(Detector::IntToModel(19), PELORINTINDLE);
  for (int value : {20, 21, 255, -1, -100})
    EXPECT_EQ(Detector::IntToModel(value), UNKNOWN) << value;
}

}  // namespace
}  // namespace quillark
