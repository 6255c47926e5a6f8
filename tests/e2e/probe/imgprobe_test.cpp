// Runs the real imgprobe.exe on picture files made by the fixture script and checks its answers.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "base/handles.h"
#include "base/paths.h"
#include "base/strings.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;

struct ProbeResult {
  int code = -1;
  std::map<std::string, std::string> values;
  std::string text;
};

std::wstring Fixture(const std::wstring& name) {
  return base::WithTrailingBackslash(testing_support::EnvPath(L"QL_FIXTURE_DIR")) + name;
}

ProbeResult Probe(const std::wstring& args) {
  ProbeResult r;
  r.code = testing_support::RunProcess(testing_support::BinDir() + L"imgprobe.exe", args, 120000, L"", &r.text);
  std::istringstream lines(r.text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t eq = line.find('=');
    if (eq != std::string::npos) r.values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return r;
}

std::wstring Q(const std::wstring& path) { return L"\"" + path + L"\""; }

bool CopyTo(const std::wstring& from, const std::wstring& to) { return ::CopyFileW(from.c_str(), to.c_str(), FALSE); }

}  // namespace

TEST(ImgProbeInfo, CameraJpegReportsTurnedSizeAndEveryExifMember) {
  const ProbeResult r = Probe(L"info " + Q(Fixture(L"camera.jpg")));
  ASSERT_EQ(r.code, 0) << r.text;
  EXPECT_EQ(r.values.at("class"), "2");
  EXPECT_EQ(r.values.at("decoder"), "wic");
  EXPECT_EQ(r.values.at("orientation"), "6");
  EXPECT_EQ(r.values.at("transform"), "1");
  EXPECT_EQ(r.values.at("width"), "32");  // stored 64 x 32, shown a quarter turn
  EXPECT_EQ(r.values.at("height"), "64");
  EXPECT_EQ(r.values.at("shooting_time"), "2024:05:06 07:08:09");
  EXPECT_EQ(r.values.at("gps"), "-39.500000,-116.250000");
  EXPECT_EQ(r.values.at("resolution"), "300");
  EXPECT_EQ(r.values.at("maker"), "Testmaker");
  EXPECT_EQ(r.values.at("model"), "Model 7");
  EXPECT_EQ(r.values.at("lens"), "Lens 35mm");
  EXPECT_EQ(r.values.at("aperture"), "2.8");
  EXPECT_EQ(r.values.at("max_aperture"), "2.0");
  EXPECT_EQ(r.values.at("exposure_time"), "1/250");
  EXPECT_EQ(r.values.at("iso"), "200");
  EXPECT_EQ(r.values.at("focal_length"), "35.0");
  EXPECT_EQ(r.values.at("metering"), "5");
  EXPECT_EQ(r.values.at("flash"), "16");
  EXPECT_EQ(r.values.at("white_balance"), "1");
  EXPECT_EQ(r.values.at("exposure_program"), "2");
}

TEST(ImgProbeInfo, IconOpensOnWidestFrameAndPngTextStaysOutOfRecord) {
  const ProbeResult icon = Probe(L"info " + Q(Fixture(L"icon3.ico")));
  ASSERT_EQ(icon.code, 0) << icon.text;
  EXPECT_EQ(icon.values.at("width"), "48");
  EXPECT_EQ(icon.values.at("height"), "48");
  EXPECT_EQ(icon.values.at("frames"), "3");

  const ProbeResult png = Probe(L"info " + Q(Fixture(L"text.png")));
  ASSERT_EQ(png.code, 0) << png.text;
  for (const char* key : {"shooting_time", "gps", "maker", "model", "lens", "aperture", "exposure_time", "iso",
                          "flash", "white_balance"}) {
    EXPECT_EQ(png.values.at(key), "") << key;
  }
  EXPECT_EQ(png.values.at("orientation"), "0");
}

TEST(ImgProbeInfo, DamagedFilesFailCleanly) {
  for (const wchar_t* name : {L"truncated.jpg", L"garbage.jpg", L"random.png", L"empty.jpg", L"missing.jpg"}) {
    const ProbeResult r = Probe(L"info " + Q(Fixture(name)));
    // A partial picture is acceptable; a crash or a hang is not.
    ASSERT_TRUE(r.code == 0 || r.code == 1) << base::WideToUtf8(name) << " exit " << r.code;
    if (r.code == 1) {
      EXPECT_EQ(r.values.at("decoder"), "none");
    }
  }
  EXPECT_EQ(Probe(L"info").code, 2);
  EXPECT_EQ(Probe(L"fit " + Q(Fixture(L"in.png")) + L" x 10 out.png").code, 2);
  EXPECT_EQ(Probe(L"bogus").code, 2);
}

TEST(ImgProbeFit, FitsAndTurnsCameraPicture) {
  TempDir dir;
  const ProbeResult r = Probe(L"fit " + Q(Fixture(L"camera.jpg")) + L" 16 32 " + Q(dir.File(L"fit.png")));
  ASSERT_EQ(r.code, 0) << r.text;
  EXPECT_EQ(r.values.at("width"), "16");
  EXPECT_EQ(r.values.at("height"), "32");
  // Turned a quarter clockwise, the red left half is on top: read it back through the probe.
  const ProbeResult back = Probe(L"info " + Q(dir.File(L"fit.png")));
  EXPECT_EQ(back.values.at("width"), "16");
  EXPECT_EQ(back.values.at("height"), "32");
}

TEST(ImgProbeSave, EveryWritableFormatReopensWithTheSameSize) {
  TempDir dir;
  for (const wchar_t* ext : {L"bmp", L"jpg", L"gif", L"tiff", L"png"}) {
    const std::wstring target = dir.File(std::wstring(L"out.") + ext);
    const ProbeResult saved = Probe(L"save " + Q(Fixture(L"camera.jpg")) + L" " + Q(target) + L" 90");
    ASSERT_EQ(saved.code, 0) << base::WideToUtf8(ext) << ": " << saved.text;
    const ProbeResult back = Probe(L"info " + Q(target));
    ASSERT_EQ(back.code, 0) << base::WideToUtf8(ext) << ": " << back.text;
    EXPECT_EQ(back.values.at("width"), "32") << base::WideToUtf8(ext);
    EXPECT_EQ(back.values.at("height"), "64") << base::WideToUtf8(ext);
  }
}

TEST(ImgProbeSave, OverOpenFileAndOverReadOnlyFile) {
  TempDir dir;
  const std::wstring self = dir.File(L"self.png");
  ASSERT_TRUE(CopyTo(Fixture(L"in.png"), self));
  const ProbeResult r = Probe(L"save " + Q(self) + L" " + Q(self));
  ASSERT_EQ(r.code, 0) << r.text;
  EXPECT_EQ(r.values.at("width"), "40");  // reloaded from the replaced file
  EXPECT_EQ(Probe(L"info " + Q(self)).values.at("height"), "30");

  const std::wstring locked = dir.File(L"readonly.bmp");
  ASSERT_TRUE(CopyTo(Fixture(L"in.bmp"), locked));
  ASSERT_TRUE(::SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY));
  const ProbeResult ro = Probe(L"save " + Q(Fixture(L"camera.jpg")) + L" " + Q(locked));
  ASSERT_EQ(ro.code, 0) << ro.text;
  EXPECT_EQ(Probe(L"info " + Q(locked)).values.at("width"), "32");
}

TEST(ImgProbeSave, FailedSaveLeavesTheOriginalByteForByte) {
  TempDir dir;
  const std::wstring target = dir.File(L"keep.png");
  ASSERT_TRUE(CopyTo(Fixture(L"in.png"), target));
  const auto before = ReadBytes(target);
  {
    // Held open without sharing: the replacement cannot happen.
    base::KernelHandle hold(::CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(hold);
    const ProbeResult r = Probe(L"save " + Q(Fixture(L"camera.jpg")) + L" " + Q(target));
    EXPECT_EQ(r.code, 1) << r.text;
  }
  EXPECT_EQ(ReadBytes(target), before);
  // No temporary file is left behind.
  WIN32_FIND_DATAW fd;
  base::FindHandle find(::FindFirstFileW(dir.File(L"tmp*").c_str(), &fd));
  EXPECT_FALSE(find);
  // A class without an encoder fails without touching anything.
  EXPECT_EQ(Probe(L"save " + Q(Fixture(L"camera.jpg")) + L" " + Q(dir.File(L"x.ico"))).code, 1);
}

TEST(ImgProbeRotate, AutoSaveNeverDamagesTheFile) {
  TempDir dir;
  const std::wstring jpeg = dir.File(L"turn.jpg");
  ASSERT_TRUE(CopyTo(Fixture(L"rotate6.jpg"), jpeg));
  const ProbeResult r = Probe(L"rotate " + Q(jpeg) + L" cw");
  ASSERT_EQ(r.code, 0) << r.text;
  EXPECT_EQ(r.values.at("orientation"), "3");
  EXPECT_NE(r.values.at("saved"), "none");
  const ProbeResult back = Probe(L"info " + Q(jpeg));
  ASSERT_EQ(back.code, 0) << back.text;
  EXPECT_EQ(back.values.at("width"), "64");
  EXPECT_EQ(back.values.at("height"), "32");

  // A PNG has no orientation tag: the turned pixels are written.
  const std::wstring png = dir.File(L"turn.png");
  ASSERT_TRUE(CopyTo(Fixture(L"in.png"), png));
  const ProbeResult p = Probe(L"rotate " + Q(png) + L" ccw");
  ASSERT_EQ(p.code, 0) << p.text;
  EXPECT_EQ(p.values.at("saved"), "full");
  const ProbeResult pback = Probe(L"info " + Q(png));
  EXPECT_EQ(pback.values.at("width"), "30");
  EXPECT_EQ(pback.values.at("height"), "40");
  EXPECT_EQ(pback.values.at("orientation"), "0");

  // Four turns bring a JPEG back to where it started.
  const std::wstring four = dir.File(L"four.jpg");
  ASSERT_TRUE(CopyTo(Fixture(L"camera.jpg"), four));
  EXPECT_EQ(Probe(L"rotate " + Q(four) + L" cw 4").values.at("orientation"), "6");
  EXPECT_EQ(Probe(L"info " + Q(four)).values.at("maker"), "Testmaker");
}

TEST(ImgProbeResize, WritesTheNewSizeAndRefusesZero) {
  TempDir dir;
  const std::wstring target = dir.File(L"small.png");
  const ProbeResult r = Probe(L"resize " + Q(Fixture(L"in.png")) + L" " + Q(target) + L" 20 15");
  ASSERT_EQ(r.code, 0) << r.text;
  const ProbeResult back = Probe(L"info " + Q(target));
  EXPECT_EQ(back.values.at("width"), "20");
  EXPECT_EQ(back.values.at("height"), "15");
  const std::wstring zero = dir.File(L"zero.png");
  EXPECT_EQ(Probe(L"resize " + Q(Fixture(L"in.png")) + L" " + Q(zero) + L" 0 15").code, 1);
  EXPECT_EQ(::GetFileAttributesW(zero.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(ImgProbeExport, WallpaperFileIsWrittenAndSetAndClipboardGetsPixelsAndFile) {
  TempDir data;
  ASSERT_TRUE(::SetEnvironmentVariableW(L"QUELLIN_DATA_DIR", data.Path().c_str()));
  const ProbeResult r = Probe(L"wallpaper " + Q(Fixture(L"camera.jpg")));
  ASSERT_EQ(r.code, 0) << r.text;
  const std::wstring expected = data.File(L"temp\\wallpaper.jpg");
  EXPECT_TRUE(base::EqualsNoCase(base::Utf8ToWide(r.values.at("wallpaper")), expected)) << r.values.at("wallpaper");
  const ProbeResult back = Probe(L"info " + Q(expected));
  EXPECT_EQ(back.values.at("width"), "32");  // written turned, as displayed
  EXPECT_EQ(back.values.at("height"), "64");

  const ProbeResult c = Probe(L"copy " + Q(Fixture(L"camera.jpg")));
  ::SetEnvironmentVariableW(L"QUELLIN_DATA_DIR", nullptr);
  ASSERT_EQ(c.code, 0) << c.text;
  EXPECT_EQ(c.values.at("dib_width"), "32");
  EXPECT_EQ(c.values.at("dib_height"), "-64");  // top-down, as the picture is held
  EXPECT_EQ(c.values.at("files"), "1");
}

TEST(ImgProbeSave, JpegToJpegKeepsCameraDataWithPixelsAsDisplayed) {
  TempDir dir;
  const std::wstring target = dir.File(L"copy.jpg");
  const ProbeResult saved = Probe(L"save " + Q(Fixture(L"camera.jpg")) + L" " + Q(target) + L" 90");
  ASSERT_EQ(saved.code, 0) << saved.text;
  const ProbeResult back = Probe(L"info " + Q(target));
  ASSERT_EQ(back.code, 0) << back.text;
  EXPECT_EQ(back.values.at("maker"), "Testmaker");
  EXPECT_EQ(back.values.at("exposure_time"), "1/250");
  EXPECT_EQ(back.values.at("gps"), "-39.500000,-116.250000");
  // Shown the same way as the source: either turned pixels with orientation 1, or the tag kept.
  EXPECT_EQ(back.values.at("width"), "32");
  EXPECT_EQ(back.values.at("height"), "64");
  // A source without EXIF gives a file without EXIF.
  const std::wstring plain = dir.File(L"plain.jpg");
  ASSERT_EQ(Probe(L"save " + Q(Fixture(L"plain.jpg")) + L" " + Q(plain)).code, 0);
  EXPECT_EQ(Probe(L"info " + Q(plain)).values.at("maker"), "");
}

namespace {

TEST(ImgProbeRender, PictureSizeChoosesTheImmediateOrTheBackgroundPath) {
  TempDir dir;
  // 1281 × 1281 is the first size that decodes in the background.
  const ProbeResult big = Probe(L"render " + Q(Fixture(L"big1281.png")) + L" 640 480 " + Q(dir.File(L"a.png")));
  ASSERT_EQ(big.code, 0) << big.text;
  EXPECT_EQ(big.values.at("frame_source"), "task");
  // The drawn size is the integer part of size × fit in single precision: 1281 × (480 / 1281)
  // comes out just below 480.
  EXPECT_EQ(big.values.at("drawn_width"), "479");
  EXPECT_EQ(big.values.at("drawn_height"), "479");
  const ProbeResult small = Probe(L"render " + Q(Fixture(L"big1280.png")) + L" 640 480 " + Q(dir.File(L"b.png")));
  ASSERT_EQ(small.code, 0) << small.text;
  EXPECT_EQ(small.values.at("frame_source"), "immediate");
  EXPECT_EQ(small.values.at("scroll"), "0,0,479,479");
  const ProbeResult back = Probe(L"info " + Q(dir.File(L"b.png")));
  EXPECT_EQ(back.values.at("width"), "640");
  EXPECT_EQ(back.values.at("height"), "480");
}

TEST(ImgProbeRender, OperationsZoomPanAndResizeInOrder) {
  TempDir dir;
  const std::wstring out = dir.File(L"r.png");
  // Full size about the centre, then dragged to the far corner.
  const ProbeResult r = Probe(L"render " + Q(Fixture(L"big1280.png")) + L" 480 480 " + Q(out) +
                              L" actual pan:-5000:-5000");
  ASSERT_EQ(r.code, 0) << r.text;
  EXPECT_EQ(r.values.at("zoom"), "1.0000");
  EXPECT_EQ(r.values.at("drawn_width"), "1280");
  EXPECT_EQ(r.values.at("scroll"), "800,801,1280,1281");
  // A resize returns to the fitted view.
  const ProbeResult sized = Probe(L"render " + Q(Fixture(L"big1280.png")) + L" 480 480 " + Q(out) +
                                  L" zoom:5:10:10 size:300:200");
  ASSERT_EQ(sized.code, 0) << sized.text;
  EXPECT_EQ(sized.values.at("drawn_height"), "199");
  EXPECT_EQ(sized.values.at("zoom"), sized.values.at("fit"));
  EXPECT_EQ(Probe(L"render " + Q(Fixture(L"big1280.png")) + L" 480 480 " + Q(out) + L" spin").code, 2);
  EXPECT_EQ(Probe(L"render " + Q(Fixture(L"garbage.jpg")) + L" 480 480 " + Q(out)).code, 1);
}

}  // namespace
