// Factory calibration defaults: every listed constant, bit for bit, the
// fields and lanes they leave alone, and the conversions they give.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "calibration/CalibrationStore.h"

namespace {

// The constants below are typed from the calibration data sheet, digits in
// groups of three as printed there, independently of the library's tables.

constexpr double kQuarticB[5] = {1.885'319'517'231'51e-13, -1.612'047'593'477'48e-09,
                                 4.818'026'535'728'58e-06, -0.005'847'342'144'078'18,
                                 2.512'172'685'746'09};

constexpr double kThresholdStepPoly[9] = {
    6.495'886'904,  4.609'947'052, -3.130'113'801, 0.777'132'962, -0.095'490'271,
    0.006'382'248, -0.000'235'087, 4.473'47e-06,   -3.428'52e-08};

constexpr double kLevelLowRate[4][5] = {
    {-2.774'879'753'658'82e-09, 7.254'786'785'949'86e-06, -0.006'375'836'540'434'63,
     3.801'051'390'201'25, 799.176'446'323'065},
    {-2.579'476'442'962'94e-10, 1.795'808'671'285'31e-06, -0.002'493'207'017'075'03,
     2.423'814'613'968'32, 1530.449'414'169'65},
    {-2.403'716'447'111'11e-09, 6.314'926'692'957'4e-06, -0.005'648'710'378'995'48,
     3.550'625'085'075'88, 786.407'054'708'228},
    {-1.659'313'962'129'93e-09, 5.116'933'137'972'06e-06, -0.005'094'954'409'310'96,
     3.464'166'336'715'26, 825.550'571'783'384},
};

constexpr double kLevelHighRate[4][5] = {
    {6.395'376'930'325'73e-09, -7.716'070'085'833'94e-06, 0.001'277'462'548'006'22,
     2.613'136'459'024'05, 807.923'120'812'547},
    {1.759'277'134'955'33e-09, -8.696'067'774'349'43e-07, -0.001'313'524'277'302'21,
     2.282'569'037'771'75, 1516.922'025'571'01},
    {2.810'850'582'367'73e-09, -2.955'566'336'550'73e-06, 3.941'109'963'258'74e-05,
     2.301'446'065'405'93, 849.917'542'960'572},
    {-4.564'692'071'662'54e-10, 4.111'430'286'128'06e-06, -0.005'082'475'139'944'84,
     3.692'316'793'541'09, 774.541'701'090'112},
};

constexpr double kDelayPoly[12][6] = {
    {6.850'476'767'068'84e-16, -7.433'362'607'677'62e-12, 2.357'122'827'462'92e-08,
     -1.282'867'705'072'24e-05, 0.011'521'424'865'735, -1.043'387'498'695'83},
    {9.326'498'785'958'1e-16, -1.030'387'900'581'4e-11, 3.528'656'729'897'44e-08,
     -3.213'071'690'521'46e-05, 0.021'621'885'386'483'5, -0.797'413'526'136'674},
    {4.655'715'020'663'62e-07, -0.000'178'173'577'840'649, 0.026'288'674'820'347'5,
     -1.849'027'956'670'58, 78.383'874'829'594'2, 168.690'069'879'526},
    {5.046'758'031'510'1e-07, -0.000'196'196'085'332'495, 0.029'512'187'140'973'7,
     -2.126'991'117'686'29, 89.274'678'326'672'7, 41.524'788'638'597'3},
    {5.732'639'410'001'85e-17, -1.006'309'160'708'37e-12, 4.904'475'986'540'33e-09,
     -3.896'665'489'985'58e-06, 0.005'135'189'798'121'37, 0.070'044'749'555'170'2},
    {9.043'893'664'020'05e-17, -1.205'603'242'261'17e-12, 5.120'743'309'975'72e-09,
     -3.564'909'551'334'84e-06, 0.004'477'317'580'139'64, -0.199'383'715'946'36},
    {1.354'677'098'223'66e-05, -0.002'957'927'591'949'17, 0.244'448'024'706'668,
     -9.550'456'724'708'38, 214.256'850'118'825, 48.738'431'349'844'1},
    {1.512'835'843'486'9e-05, -0.003'254'313'297'518'74, 0.262'484'406'396'878,
     -9.904'859'752'257'17, 213.791'144'682'378, 126.846'481'529'376},
    {3.604'153'132'181'4e-17, -7.428'531'999'273'9e-13, 3.700'302'188'959'67e-09,
     -1.402'208'862'491'59e-06, 0.002'851'259'535'202'93, 0.219'388'886'071'624},
    {-2.585'450'145'129'29e-18, -2.855'179'172'883'07e-13, 1.807'981'577'906'46e-09,
     1.661'438'799'257'57e-06, 0.001'565'919'581'771'29, -0.037'030'609'416'057'8},
    {1.793'880'778'432'8e-05, -0.003'787'150'896'276'25, 0.299'397'355'468'415,
     -11.026'097'448'884'9, 226.775'906'314'885, 88.935'287'377'768'9},
    {1.439'299'619'814'73e-05, -0.003'069'059'786'448'73, 0.246'031'352'668'568,
     -9.260'214'506'406'63, 202.405'791'708'286, 173.937'433'067'057},
};

// Lane 0, entries 0 and 29 of each code and value table (c3, c2, c1, c0).
struct PrintedEnds {
  const char* name;
  double (CalibrationStore::*table)[4][30][4];
  double first[4];
  double last[4];
};

const PrintedEnds kCodeValueEnds[] = {
    {"valueFromCodeA",
     &CalibrationStore::valueFromCodeA,
     {0.000'936'009'594'518'373, -0.105'116'431'920'262, 8.568'339'312'846'88,
      0.634'667'195'629'75},
     {0.000'532'434'263'151'299, -0.056'920'914'298'535'2, 4.438'308'271'016'57,
      0.341'882'337'009'337}},
    {"codeFromValueA",
     &CalibrationStore::codeFromValueA,
     {-8.276'863'749'980'63e-07, 0.000'544'952'221'276'911, 0.087'425'112'697'134'6,
      0.044'502'225'475'018'5},
     {-6.657'859'646'328'2e-06, 0.002'152'436'820'259'59, 0.167'155'539'303'277,
      0.033'639'579'373'503'6}},
    {"valueFromCodeB",
     &CalibrationStore::valueFromCodeB,
     {0.000'662'247'225'555'612, -0.124'790'227'293'084, 18.699'327'440'806'7, 2.011'908'513},
     {0.000'508'948'243'128'865, -0.082'535'160'124'612'9, 10.416'288'722'137'3,
      0.583'085'335'869'232}},
    {"codeFromValueB",
     &CalibrationStore::codeFromValueB,
     {-2.730'290'447'737'34e-09, 2.938'181'205'584'93e-05, 0.051'173'490'801'303'6,
      -0.064'792'278'138'548'4},
     {-5.932'159'536'477'05e-08, 0.000'134'124'111'769'562, 0.089'291'778'821'573'9,
      -0.006'213'725'375'117'97}},
};

constexpr unsigned char kFill = 0xA5;

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool IsFill(double d) {
  unsigned char bytes[sizeof d];
  std::memcpy(bytes, &d, sizeof d);
  for (unsigned char b : bytes)
    if (b != kFill) return false;
  return true;
}

// A store holding a byte pattern before the defaults go in, so that fields
// the defaults must not touch are recognisable afterwards.
class FactoryDefaults : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(static_cast<void*>(before.get()), kFill, sizeof(CalibrationStore));
    std::memcpy(static_cast<void*>(store.get()), before.get(), sizeof(CalibrationStore));
    store->SetFactoryDefaults();
  }
  std::unique_ptr<CalibrationStore> before = std::make_unique<CalibrationStore>();
  std::unique_ptr<CalibrationStore> store = std::make_unique<CalibrationStore>();
};

TEST_F(FactoryDefaults, ScalarAndPerLaneConstants) {
  EXPECT_EQ(store->thresholdStepMv, 1.5);
  for (int lane = 0; lane < 4; ++lane) {
    const double identity[5] = {0, 0, 0, 1.0, 0};
    for (int i = 0; i < 5; ++i) {
      EXPECT_TRUE(SameBits(store->quarticA[lane][i], identity[i])) << lane << "," << i;
      EXPECT_TRUE(SameBits(store->quarticB[lane][i], kQuarticB[i])) << lane << "," << i;
    }
  }
  for (int i = 0; i < 9; ++i)
    EXPECT_TRUE(SameBits(store->thresholdStepPoly[i], kThresholdStepPoly[i])) << "c" << i;
  for (int lane = 0; lane < 8; ++lane) {
    EXPECT_EQ(store->thresholdStepMeasured[lane], 1.0) << lane;
    EXPECT_TRUE(SameBits(store->laneGain[lane], 0.0)) << lane;
    EXPECT_EQ(store->laneFlag[lane], 1) << lane;
    for (int band = 0; band < 5; ++band) {
      for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(SameBits(store->auxAmplitudeA[lane][band].c[i], 0.0)) << lane << "," << band;
      // The two limit values of each row are left as they were.
      EXPECT_TRUE(IsFill(store->auxAmplitudeA[lane][band].c[5]));
      EXPECT_TRUE(IsFill(store->auxAmplitudeA[lane][band].c[6]));
    }
  }
  for (int lane = 8; lane < 16; ++lane) EXPECT_EQ(store->laneFlag[lane], kFill) << lane;
}

TEST_F(FactoryDefaults, LevelRows) {
  for (int lane = 0; lane < 4; ++lane) {
    for (int i = 0; i < 5; ++i) {
      EXPECT_TRUE(SameBits(store->levelLowRate[lane][i], kLevelLowRate[lane][i]))
          << "low lane " << lane << " element " << i;
      EXPECT_TRUE(SameBits(store->levelHighRate[lane][i], kLevelHighRate[lane][i]))
          << "high lane " << lane << " element " << i;
    }
  }
}

TEST_F(FactoryDefaults, DelaySets) {
  for (int set = 0; set < 12; ++set)
    for (int i = 0; i < 6; ++i)
      EXPECT_TRUE(SameBits(store->delayPoly[set][i], kDelayPoly[set][i]))
          << "set " << set << " element " << i;
}

// Printed rows exact; every entry of lanes 0 to 3 written; lane 3 repeats
// lane 2; the entries between the printed ends stay between them.
TEST_F(FactoryDefaults, CodeAndValueTables) {
  for (const PrintedEnds& t : kCodeValueEnds) {
    const auto& table = (*store).*(t.table);
    for (int i = 0; i < 4; ++i) {
      EXPECT_TRUE(SameBits(table[0][0][i], t.first[i])) << t.name << " c" << 3 - i;
      EXPECT_TRUE(SameBits(table[0][29][i], t.last[i])) << t.name << " c" << 3 - i;
    }
    EXPECT_EQ(std::memcmp(table[3], table[2], sizeof table[2]), 0) << t.name;
    for (int lane = 0; lane < 4; ++lane) {
      for (int k = 0; k < 30; ++k) {
        for (int i = 0; i < 4; ++i) {
          const double c = table[lane][k][i];
          EXPECT_FALSE(IsFill(c)) << t.name << " lane " << lane << " entry " << k;
          EXPECT_TRUE(std::isfinite(c)) << t.name << " lane " << lane << " entry " << k;
        }
      }
    }
    for (int k = 1; k < 29; ++k) {
      for (int i = 0; i < 4; ++i) {
        const double lo = std::fmin(t.first[i], t.last[i]);
        const double hi = std::fmax(t.first[i], t.last[i]);
        EXPECT_GE(table[0][k][i], lo) << t.name << " entry " << k;
        EXPECT_LE(table[0][k][i], hi) << t.name << " entry " << k;
      }
    }
  }
}

// Every byte outside the listed fields and lanes keeps its earlier value.
TEST_F(FactoryDefaults, LeavesUnlistedFieldsAlone) {
  // Start from the old contents and take over exactly the listed regions.
  auto expected = std::make_unique<CalibrationStore>();
  std::memcpy(static_cast<void*>(expected.get()), before.get(), sizeof(CalibrationStore));
  auto take = [&](const void* field, std::size_t bytes) {
    const auto offset = static_cast<const unsigned char*>(field) -
                        reinterpret_cast<const unsigned char*>(store.get());
    std::memcpy(reinterpret_cast<unsigned char*>(expected.get()) + offset, field, bytes);
  };
  take(&store->thresholdStepMv, sizeof(double));
  take(store->quarticA, 4 * sizeof store->quarticA[0]);
  take(store->quarticB, 4 * sizeof store->quarticB[0]);
  take(store->levelLowRate, 4 * sizeof store->levelLowRate[0]);
  take(store->levelHighRate, 4 * sizeof store->levelHighRate[0]);
  take(store->thresholdStepPoly, sizeof store->thresholdStepPoly);
  take(store->delayPoly, sizeof store->delayPoly);
  take(store->valueFromCodeA, sizeof store->valueFromCodeA);
  take(store->codeFromValueA, sizeof store->codeFromValueA);
  take(store->valueFromCodeB, sizeof store->valueFromCodeB);
  take(store->codeFromValueB, sizeof store->codeFromValueB);
  take(store->thresholdStepMeasured, 8 * sizeof(double));
  take(store->laneGain, 8 * sizeof(double));
  take(store->laneFlag, 8);
  for (int lane = 0; lane < 8; ++lane)
    for (int band = 0; band < 5; ++band) take(store->auxAmplitudeA[lane][band].c, 5 * sizeof(double));

  EXPECT_EQ(std::memcmp(expected.get(), store.get(), sizeof(CalibrationStore)), 0);
  // And the check itself can see a change: lane 4 of levelLowRate is unlisted.
  EXPECT_TRUE(IsFill(store->levelLowRate[4][0]));
  EXPECT_TRUE(IsFill(store->quarticA[4][3]));
  EXPECT_TRUE(IsFill(store->auxAmplitudeA[0][5].c[0]));
  EXPECT_TRUE(IsFill(store->thresholdStepMeasured[8]));
}

// A reconnection writes the defaults again over whatever a load left.
TEST_F(FactoryDefaults, SecondCallRestoresDefaults) {
  store->levelLowRate[0][4] = 0.0;
  store->delayPoly[11][0] = 0.0;
  store->laneFlag[3] = 0;
  const double written = store->valueFromCodeB[2][17][1];
  store->valueFromCodeB[2][17][1] = 0.0;
  store->SetFactoryDefaults();
  EXPECT_TRUE(SameBits(store->levelLowRate[0][4], kLevelLowRate[0][4]));
  EXPECT_TRUE(SameBits(store->delayPoly[11][0], kDelayPoly[11][0]));
  EXPECT_EQ(store->laneFlag[3], 1);
  EXPECT_TRUE(SameBits(store->valueFromCodeB[2][17][1], written));
}

// Conversions right after the defaults. The level codes are the printed
// quartics evaluated in exact rational arithmetic and truncated:
// lane 0 low rate at 1000 mV is 2704.298...; at 600 mV the eight rows give
// 1991.9, 2441.6, 1935.7, 1960.1 (low) and 1997.9, 2453.8, 1970.9, 1989.2 (high).
TEST_F(FactoryDefaults, LevelConversionsUseDefaults) {
  EXPECT_EQ(store->ComputeLevelCodeLowRate(7652, 0, 0, 0, 0, 1000.0, 0), 2704);
  // 7780 with option code C 1 loads lanes 4 to 7; lanes 0 to 3 convert with the defaults.
  EXPECT_EQ(store->ComputeLevelCodeLowRate(7780, 1, 0, 0, 0, 1000.0, 0), 2704);
  const int low600[4] = {1991, 2441, 1935, 1960};
  const int high600[4] = {1997, 2453, 1970, 1989};
  for (int lane = 0; lane < 4; ++lane) {
    EXPECT_EQ(store->ComputeLevelCodeLowRate(7652, 0, 0, 0, lane, 600.0, 0), low600[lane]) << lane;
    EXPECT_EQ(store->ComputeLevelCodeHighRate(7652, 0, 0, 0, 0, lane, 600.0, 0), high600[lane])
        << lane;
    EXPECT_EQ(store->ComputeQuarticA(lane, 321.7), 321) << lane;
  }
}

// 6.495 886 904 mV at rate 0, about 6.1904 at 10.3125 Gb/s and 10.9910 at
// 25.78125 Gb/s; on 7822 and 7841 the measured step of 1.0.
TEST_F(FactoryDefaults, ThresholdStepUsesDefaults) {
  EXPECT_EQ(store->ComputeThresholdStep(7652, 0, 0.0, 0.0), 6.495886904);
  EXPECT_NEAR(store->ComputeThresholdStep(7652, 0, 0.0, 10.3125), 6.1904, 5e-5);
  EXPECT_NEAR(store->ComputeThresholdStep(7775, 2, 0.0, 25.78125), 10.9910, 5e-5);
  for (int lane = 0; lane < 8; ++lane) {
    EXPECT_EQ(store->ComputeThresholdStep(7822, lane, 0.0, 25.78125), 1.0);
    EXPECT_EQ(store->ComputeThresholdStep(7841, lane, 0.0, 10.3125), 1.0);
  }
}

}  // namespace
