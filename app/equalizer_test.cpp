// The equaliser: measured response through the library's effects on a
// 16-bit push stream (manual clock), the controller's slider and channel
// rules, and the preset storage.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/equalizer_bands.h"
#include "app/equalizer_controller.h"
#include "app/equalizer_presets.h"
#include "audiolib/audiolib.h"
#include "platform/profile_file.h"
#include "platform/recording_ui.h"
#include "platform/test_env.h"

namespace qv3 {
namespace {

constexpr uint32_t kRate = 44100;

// Interleaved stereo 16-bit sine, the same on both channels.
std::vector<int16_t> Sine(double freq, uint32_t rate, size_t frames, double amplitude) {
  std::vector<int16_t> v(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    const double s = amplitude * std::sin(2.0 * M_PI * freq * static_cast<double>(i) / rate);
    v[2 * i] = v[2 * i + 1] = static_cast<int16_t>(std::lrint(s * 32767.0));
  }
  return v;
}

// Amplitude of `freq` in the left channel of interleaved stereo floats over
// [begin, end) frames (quadrature correlation).
double AmplitudeAt(const std::vector<float>& data, double freq, uint32_t rate, size_t begin, size_t end) {
  double s = 0, c = 0;
  for (size_t i = begin; i < end; ++i) {
    const double ph = 2.0 * M_PI * freq * static_cast<double>(i) / rate;
    s += data[2 * i] * std::sin(ph);
    c += data[2 * i] * std::cos(ph);
  }
  return 2.0 * std::hypot(s, c) / static_cast<double>(end - begin);
}

// Records what the controller shows.
class FakeView : public EqualizerView {
 public:
  void ShowSliderPositions(const EqSliderPositions& p) override { positions = p; }
  void ShowPresetNames(const std::vector<std::string>& n) override { names = n; }
  void ShowSelection(int index) override { selection = index; }
  void EnableControls(bool on) override { enabled = on; }
  EqSliderPositions positions{};
  std::vector<std::string> names;
  int selection = -2;
  bool enabled = false;
};

class EqualizerSignalTest : public ::testing::Test {
 protected:
  void Init(uint32_t rate) { ASSERT_TRUE(AudioInitManual(rate, 0)); }
  void TearDown() override { AudioFree(); }

  // Plays `input` through push stream `h` and returns the mixer's output.
  static std::vector<float> PlayThrough(StreamHandle h, const std::vector<int16_t>& input) {
    const size_t frames = input.size() / 2;
    EXPECT_NE(StreamPutData(h, input.data(), static_cast<uint32_t>(input.size() * 2)), kDataError);
    EXPECT_TRUE(ChannelPlay(h, false));
    std::vector<float> out(frames * 2);
    EXPECT_TRUE(AudioAdvanceManual(static_cast<uint32_t>(frames), out.data()));
    return out;
  }

  // Gain in dB at `freq` of a fresh output stream set up by `controller`.
  static double MeasureDb(EqualizerController& controller, double freq, uint32_t rate,
                          const std::function<void(EqualizerController&)>& set) {
    StreamHandle h = StreamCreatePush(rate, 2, 0);
    EXPECT_NE(h, 0u);
    controller.AttachEqualizer(h);
    set(controller);
    constexpr double kAmplitude = 0.1;  // room for +15 dB in 16 bits
    const size_t frames = rate * 3 / 10;
    std::vector<float> out = PlayThrough(h, Sine(freq, rate, frames, kAmplitude));
    StreamFree(h);
    const double amp = AmplitudeAt(out, freq, rate, frames / 2, frames);
    return 20.0 * std::log10(amp / (kAmplitude * 32767.0 / 32768.0));
  }

  TempDir tmp_;
};

TEST(EqualizerBandsTest, CentresHalveFromTheTopWithAnEightyHertzFloorAndLabels) {
  const std::array<float, kEqBandCount> expected = {80, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
  EXPECT_EQ(EqBandCentres(), expected);
  const char* labels[] = {"80", "125", "250", "500", "1K", "2K", "4K", "8K", "16K"};
  for (int band = 0; band < kEqBandCount; ++band) EXPECT_STREQ(EqBandLabel(band), labels[band]);
}

TEST_F(EqualizerSignalTest, GainAtEachCentreMatchesTheSliderWithinHalfADecibel) {
  Init(kRate);
  EqualizerController controller(tmp_.Sub("q.ini"));
  for (int band = 0; band < kEqBandCount; ++band) {
    for (int position : {-15, -7, 12}) {
      const double db = MeasureDb(controller, EqBandCentres()[band], kRate,
                                  [&](EqualizerController& c) { c.SliderMoved(band, position); });
      EXPECT_NEAR(db, -position, 0.5) << "band " << band << " position " << position;
    }
  }
}

TEST_F(EqualizerSignalTest, FlatSlidersLeaveTheSignalUntouched) {
  Init(kRate);
  EqualizerController controller(tmp_.Sub("q.ini"));
  StreamHandle h = StreamCreatePush(kRate, 2, 0);
  controller.AttachEqualizer(h);
  // Move every band away and back: 0 must be exactly flat again.
  for (int band = 0; band < kEqBandCount; ++band) controller.SliderMoved(band, -9);
  for (int band = 0; band < kEqBandCount; ++band) controller.SliderMoved(band, 0);
  std::vector<int16_t> in = Sine(440.0, kRate, 4000, 0.3);
  const std::vector<int16_t> treble = Sine(9000.0, kRate, 4000, 0.3);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<int16_t>(in[i] / 2 + treble[i] / 2);
  std::vector<float> out = PlayThrough(h, in);
  for (size_t i = 0; i < in.size(); ++i) ASSERT_FLOAT_EQ(out[i], in[i] / 32768.0f) << i;
}

TEST_F(EqualizerSignalTest, TopBandIsBypassedWhenItReachesNearNyquist) {
  // 16 kHz at 32 kHz would be an unstable peak: the band passes the signal.
  Init(32000);
  EqualizerController controller(tmp_.Sub("q.ini"));
  const double db = MeasureDb(controller, 12000.0, 32000,
                              [](EqualizerController& c) { c.SliderMoved(8, -15); });
  EXPECT_NEAR(db, 0.0, 0.1);
  // The 8 kHz band still works at that rate.
  EXPECT_NEAR(MeasureDb(controller, 8000.0, 32000,
                        [](EqualizerController& c) { c.SliderMoved(7, -10); }),
              10.0, 0.5);
}

TEST_F(EqualizerSignalTest, AttachMovesTheEffectsResetsSlidersAndSelection) {
  Init(kRate);
  EqualizerController controller(tmp_.Sub("q.ini"));
  FakeView view;
  controller.SetView(&view);
  EXPECT_FALSE(view.enabled);
  // Without a channel slider moves change nothing.
  controller.SliderMoved(3, -10);
  EXPECT_EQ(controller.positions()[3], 0);

  StreamHandle a = StreamCreatePush(kRate, 2, 0);
  controller.AttachEqualizer(a);
  EXPECT_TRUE(view.enabled);
  controller.SliderMoved(4, -12);
  EXPECT_FLOAT_EQ(controller.effects().GetGain(4), 12.0f);

  StreamHandle b = StreamCreatePush(kRate, 2, 0);
  controller.AttachEqualizer(b);
  EXPECT_EQ(controller.positions(), EqSliderPositions{});
  EXPECT_EQ(view.positions, EqSliderPositions{});
  EXPECT_EQ(view.selection, -1);
  EXPECT_EQ(controller.effects().channel(), b);
  EXPECT_FLOAT_EQ(controller.effects().GetGain(4), 0.0f);
  // The first channel no longer carries any band: a 1 kHz tone passes as is.
  std::vector<int16_t> in = Sine(1000.0, kRate, 2000, 0.1);
  ChannelStop(b);
  std::vector<float> out = PlayThrough(a, in);
  for (size_t i = 0; i < in.size(); ++i) ASSERT_FLOAT_EQ(out[i], in[i] / 32768.0f);

  // A recreated output channel of the same song keeps gains and selection.
  controller.SliderMoved(4, -12);
  view.selection = 3;
  StreamHandle d = StreamCreatePush(kRate, 2, 0);
  controller.ReattachEqualizer(d);
  EXPECT_EQ(controller.effects().channel(), d);
  EXPECT_FLOAT_EQ(controller.effects().GetGain(4), 12.0f);
  EXPECT_EQ(controller.positions()[4], -12);
  EXPECT_EQ(view.selection, 3);

  // Re-applying puts the current gains on another stream.
  controller.SliderMoved(0, 6);
  StreamHandle c = StreamCreatePush(kRate, 2, 0);
  EqualizerEffects copy;
  ASSERT_TRUE(controller.ReapplyEqualizer(c, &copy));
  EXPECT_FLOAT_EQ(copy.GetGain(0), -6.0f);
  EXPECT_FLOAT_EQ(copy.GetGain(4), 12.0f);
  EXPECT_FLOAT_EQ(copy.GetGain(1), 0.0f);
}

// ------------------------------------------------------------------ presets

class EqualizerPresetTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(AudioInitManual(kRate, 0)); }
  void TearDown() override { AudioFree(); }
  std::string Ini() const { return tmp_.Sub("Quaverly3.ini"); }
  void Put(int index, const std::string& value) {
    ASSERT_TRUE(WriteProfileString(kEqPresetSection, EqPresetKey(index), value, Ini()));
  }
  std::string Get(int index) const {
    return GetProfileString(kEqPresetSection, EqPresetKey(index), "<none>", Ini(), SIZE_MAX);
  }
  TempDir tmp_;
  ScopedRecordingUi ui_;
};

TEST_F(EqualizerPresetTest, ParsingSkipsBadValuesAndClampsGains) {
  EXPECT_FALSE(ParseEqPreset("<none>"));
  EXPECT_FALSE(ParseEqPreset("<\"Odd\" 0 0 0 0 0 0 0 0 0"));
  EXPECT_FALSE(ParseEqPreset("\"Eleven\" 0 0 0 0 0 0 0 0 0 0"));
  EXPECT_FALSE(ParseEqPreset("\"Nine\" 0 0 0 0 0 0 0 0"));
  EXPECT_FALSE(ParseEqPreset("Two words 0 0 0 0 0 0 0 0 0"));
  std::optional<EqPreset> p = ParseEqPreset("\"Big Bass\" 20 -99 3 0 0 0 0 0 -1");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->name, "Big Bass");
  EXPECT_EQ(p->gains, (EqGains{15, -15, 3, 0, 0, 0, 0, 0, -1}));
  EXPECT_EQ(FormatEqPreset(*p), "\"Big Bass\" 15 -15 3 0 0 0 0 0 -1");
  EXPECT_EQ(ParseEqPreset(FormatEqPreset({"Say \"hi\"", {1, 2, 3, 4, 5, 6, 7, 8, 9}}))->name, "Say 'hi'");
}

TEST_F(EqualizerPresetTest, LoadingListsValidValuesAndAppliesClampedGains) {
  Put(0, "\"Rock\" 1 2 3 4 5 6 7 8 9");
  Put(1, "\"Eleven\" 0 0 0 0 0 0 0 0 0 0");
  Put(2, "<deleted>");
  Put(4, "\"Loud\" 20 0 0 0 0 0 0 0 -20");
  EqualizerController controller(Ini());
  FakeView view;
  controller.SetView(&view);
  EXPECT_EQ(controller.LoadPresets(), 2);
  EXPECT_EQ(view.names, (std::vector<std::string>{"Rock", "Loud"}));

  StreamHandle h = StreamCreatePush(kRate, 2, 0);
  controller.AttachEqualizer(h);
  EXPECT_EQ(controller.FindPreset("loud"), -1);  // case-sensitive
  EXPECT_EQ(controller.FindPreset("Loud"), 1);
  EXPECT_EQ(view.selection, 1);
  EXPECT_EQ(view.positions[0], -15);
  EXPECT_EQ(view.positions[8], 15);
  EXPECT_FLOAT_EQ(controller.effects().GetGain(0), 15.0f);
  EXPECT_FLOAT_EQ(controller.effects().GetGain(8), -15.0f);
  EXPECT_EQ(controller.NoPresetName(), "Rock");

  std::vector<std::string> chosen;
  controller.on_preset_chosen = [&](const std::string& name) { chosen.push_back(name); };
  controller.ListSelectionChanged(0);
  EXPECT_EQ(chosen, std::vector<std::string>{"Rock"});
  EXPECT_FLOAT_EQ(controller.effects().GetGain(4), 5.0f);
  controller.FindPreset("Loud");  // the project's preset: no message to the main window
  EXPECT_EQ(chosen.size(), 1u);

  EqualizerController empty(tmp_.Sub("none.ini"));
  EXPECT_EQ(empty.LoadPresets(), 0);
  EXPECT_EQ(empty.NoPresetName(), "PresetUnknown");
}

TEST_F(EqualizerPresetTest, DeletingTheThirdOfFiveRewritesConsecutiveKeys) {
  for (int i = 0; i < 5; ++i) Put(i, "\"P" + std::to_string(i) + "\" " + std::to_string(i) + " 0 0 0 0 0 0 0 0");
  EqualizerController controller(Ini());
  controller.LoadPresets();

  // Nothing selected.
  EXPECT_FALSE(controller.DeletePreset());
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text, "Sorry, but a Preset is not selected, so there is nothing to Delete.");

  controller.SelectPreset(2, true);
  EXPECT_FALSE(controller.DeletePreset());  // the default answer is No
  ASSERT_EQ(ui_->questions.size(), 1u);
  EXPECT_EQ(ui_->questions[0].text,
            "The EQ Preset called \"P2\" will be permanently deleted.  Are you sure you want to "
            "delete this Preset?");
  EXPECT_EQ(ui_->questions[0].caption, "Delete the Preset?");
  EXPECT_EQ(ui_->questions[0].buttons, AskButtons::kYesNo);
  EXPECT_EQ(ui_->questions[0].default_button, Answer::kNo);
  EXPECT_EQ(LoadEqPresets(Ini()).size(), 5u);

  ui_->answers.push_back(Answer::kYes);
  EXPECT_TRUE(controller.DeletePreset());
  EXPECT_EQ(Get(0), "\"P0\" 0 0 0 0 0 0 0 0 0");
  EXPECT_EQ(Get(1), "\"P1\" 1 0 0 0 0 0 0 0 0");
  EXPECT_EQ(Get(2), "\"P3\" 3 0 0 0 0 0 0 0 0");
  EXPECT_EQ(Get(3), "\"P4\" 4 0 0 0 0 0 0 0 0");
  EXPECT_EQ(Get(4), "<none>");
  EXPECT_EQ(GetProfileKeys(kEqPresetSection, Ini()).size(), 4u);
  EXPECT_EQ(controller.presets().size(), 4u);
  EXPECT_EQ(controller.selected(), -1);
}

TEST_F(EqualizerPresetTest, SaveTakesTheSlidersIntoTheSelectedPresetAndNeverDuplicates) {
  // A gap and an unreadable value: saving must not leave Preset5 behind as a
  // second copy of the entry now written to Preset1.
  Put(0, "\"A\" 0 0 0 0 0 0 0 0 0");
  Put(3, "\"bad\" 1 2");
  Put(5, "\"B\" 0 0 0 0 0 0 0 0 0");
  EqualizerController controller(Ini());
  controller.LoadPresets();
  controller.AttachEqualizer(StreamCreatePush(kRate, 2, 0));
  controller.SelectPreset(1, true);
  controller.SliderMoved(2, -4);
  controller.SavePresets();
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text, "Your Presets have been saved.");
  EXPECT_EQ(ui_->messages[0].caption, "Quaverly 3");
  EXPECT_EQ(Get(0), "\"A\" 0 0 0 0 0 0 0 0 0");
  EXPECT_EQ(Get(1), "\"B\" 0 0 4 0 0 0 0 0 0");
  EXPECT_EQ(GetProfileKeys(kEqPresetSection, Ini()).size(), 2u);
  EXPECT_EQ(LoadEqPresets(Ini()).size(), 2u);
}

TEST_F(EqualizerPresetTest, NewPresetTakesTheCurrentGainsUntilTheLimit) {
  Put(0, "\"A\" 0 0 0 0 0 0 0 0 0");
  EqualizerController controller(Ini());
  FakeView view;
  controller.SetView(&view);
  controller.LoadPresets();
  controller.AttachEqualizer(StreamCreatePush(kRate, 2, 0));
  controller.SliderMoved(0, -5);
  controller.SliderMoved(8, 3);
  EXPECT_FALSE(controller.CreatePreset("   "));
  ASSERT_TRUE(controller.CreatePreset("My \"mix\""));
  EXPECT_EQ(Get(1), "\"My 'mix'\" 5 0 0 0 0 0 0 0 -3");
  EXPECT_EQ(controller.selected(), 1);
  EXPECT_EQ(view.selection, 1);
  EXPECT_EQ(view.names, (std::vector<std::string>{"A", "My 'mix'"}));

  for (int i = 2; i < kMaxEqPresets; ++i) Put(i, "\"X" + std::to_string(i) + "\" 0 0 0 0 0 0 0 0 0");
  EXPECT_FALSE(controller.CreatePreset("One too many"));
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text, "Sorry, but the maximum number of Presets has been reached (100).");
  EXPECT_EQ(LoadEqPresets(Ini()).size(), 100u);
}

TEST_F(EqualizerPresetTest, StarterPresetsAreWrittenOnlyIntoAnEmptySection) {
  ASSERT_TRUE(WriteStarterEqPresets(Ini()));
  const std::vector<EqPreset> loaded = LoadEqPresets(Ini());
  EXPECT_EQ(loaded, StarterEqPresets());
  EXPECT_EQ(loaded.front().name, "Flat");
  EXPECT_EQ(loaded.front().gains, EqGains{});

  RewriteEqPresets({{"Mine", {}}}, Ini());
  ASSERT_TRUE(WriteStarterEqPresets(Ini()));
  EXPECT_EQ(LoadEqPresets(Ini()).size(), 1u);
}

}  // namespace
}  // namespace qv3
