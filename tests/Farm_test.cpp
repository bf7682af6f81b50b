// Rendering on a farm without a cluster: chunking, the batch script, resuming a render, and every
// way `motefield farm` refuses to go on, in plain words and without submitting anything. The
// real cluster is tested by tests/farm-cluster.sh.
#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "CliFixture.h"
#include "cli/CompleteFrame.h"
#include "cli/FarmCommands.h"
#include "cli/FarmPlan.h"
#include "cli/FarmRecord.h"
#include "cli/FrameRange.h"

namespace mf::test {
namespace {

namespace fs = std::filesystem;

class Farm : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    WriteExr2x2(dir_ / "p.exr", {{1, 1, 0, 1}, {4, 1, 0, 1}, {1, 2, 0, 1}, {4, 2, 0, 1}});
    std::ofstream(dir_ / "scene.json")
        << R"({"composition": {"width": 6, "height": 4, "duration": 9},
      "layers": [{"name": "Camera", "type": "camera", "position": [3, 2, -20],
                  "point_of_interest": [3, 2, 0], "zoom": 20},
        {"name": "P", "type": "footage", "source": "p.exr"},
        {"name": "Cloud", "type": "solid", "color": [0, 0, 0, 0],
         "effect": {"params": {"POSITION_PASS": "P", "SOURCE_LAYER": "P",
                               "GAIN_X": [[0, 1], [0.125, 2]]}}}],
      "render": {"bit_depth": 32, "output": "out/f.####.exr"}})";
  }

  // The command line with no Slurm commands on its PATH and its own job index.
  CliResult motefield(const std::string& args) {
    return CliTest::motefield(
        args, "env PATH=/nonexistent XDG_STATE_HOME=" + (dir_ / "state").string() + " ");
  }
};

TEST(FarmPlan, ChunksKeepTheOrderAndReadBackAsTheSameFrames) {
  const std::vector<int> frames = cli::ParseFrameRange("1-10x2,11,12,20");
  const auto chunks = cli::SplitIntoChunks(frames, 3);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0], (std::vector<int>{1, 3, 5}));
  EXPECT_EQ(chunks[2], (std::vector<int>{12, 20}));
  EXPECT_EQ(cli::FrameListText(chunks[1]), "7,9,11");
  EXPECT_EQ(cli::FrameListText({4, 5, 6, 8, 3}), "4-6,8,3");
  for (const auto& chunk : chunks)
    EXPECT_EQ(cli::ParseFrameRange(cli::FrameListText(chunk)), chunk);
  EXPECT_EQ(cli::ShellQuote("it's"), "'it'\\''s'");
}

TEST_F(Farm, SkipExistingLeavesCompleteFramesAndRedoesDamagedOrMissingOnes) {
  ASSERT_EQ(motefield("render scene.json --frames 0-2").status, 0);
  const fs::path f0 = dir_ / "out/f.0000.exr", f1 = dir_ / "out/f.0001.exr",
                 f2 = dir_ / "out/f.0002.exr";
  const std::string whole1 = ReadText(f1), whole2 = ReadText(f2);
  ASSERT_NE(whole1, whole2);  // the frames differ, so a mix-up would show
  struct stat before {};
  ::stat(f0.c_str(), &before);
  fs::resize_file(f1, fs::file_size(f1) - 40);  // cut short, as by a full disk
  fs::remove(f2);
  EXPECT_TRUE(cli::IsCompleteImage(f0));
  EXPECT_FALSE(cli::IsCompleteImage(f1));

  const CliResult r = motefield("render scene.json --frames 0-2 --skip-existing");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("rendered 2 frames"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 already complete"), std::string::npos) << r.out;
  struct stat after {};
  ::stat(f0.c_str(), &after);
  EXPECT_EQ(after.st_ino, before.st_ino);  // not written again
  EXPECT_EQ(ReadText(f1), whole1);  // no time stamp in the file: the same frame, the same bytes
  EXPECT_EQ(OIIO::ImageInput::open(f1.string())->spec().find_attribute("DateTime"), nullptr);
  EXPECT_EQ(ReadText(f2), whole2);
}

TEST_F(Farm, DryRunPrintsOneTaskPerChunkAndWritesNothing) {
  const CliResult r = motefield(
      "farm submit scene.json --frames 1-7 --chunk 3 --partition render "
      "--time 0:30:00 --dry-run");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* line :
       {"#SBATCH --array=0-2\n", "#SBATCH --partition=render\n", "#SBATCH --time=0:30:00\n",
        "  0) frames=1-3 ;;\n", "  2) frames=7 ;;\n", " --frames \"$frames\" --skip-existing\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << " in\n" << r.out;
  // Every node must find the same files: the paths in the script are absolute.
  EXPECT_NE(r.out.find("render '" + dir_.string() + "/out/.motefield-farm/scene-"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.err.find("not shared storage, so other nodes of the cluster will not find them: "
                       "the scene " +
                       (dir_ / "scene.json").string()),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "out"));
}

TEST_F(Farm, RefusesBadInputInPlainWordsAndSubmitsNothing) {
  CliResult r = motefield("farm submit scene.json --chunk 0");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--chunk must be 1 or more frames per task"), std::string::npos) << r.err;
  r = motefield("farm submit scene.json --frames 3-1");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("ends before it starts"), std::string::npos) << r.err;
  r = motefield("farm submit scene.json");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no Slurm scheduler here: the command sbatch is not installed"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("nothing was submitted"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "out/.motefield-farm"));

  r = motefield("farm status 4242");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no farm job 4242 is known"), std::string::npos) << r.err;
  r = motefield("farm resubmit ../../etc/passwd");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("is not a farm job"), std::string::npos) << r.err;
}

TEST_F(Farm, StatusWithoutTheSchedulerReadsTheFramesAndTheTasksLogs) {
  // A job of three chunks: the first finished, the second failed on frame 4, the third was
  // stopped before it wrote a word.
  ASSERT_EQ(motefield("render scene.json --frames 0-3").status, 0);
  cli::FarmRecord record;
  record.folder = dir_ / "out/.motefield-farm/scene-1";
  record.source_scene = dir_ / "scene.json";
  record.output = dir_ / "out/f.####.exr";
  record.chunks = {{0, 1, 2}, {3, 4, 5}, {6, 7}};
  record.submissions = {{"77", {0, 1, 2}}};
  fs::create_directories(record.logs());
  record.save();
  std::ofstream(record.logs() / "chunk-0.job-77.log")
      << "motefield farm: chunk 0\nmotefield farm: chunk finished with status 0\n";
  std::ofstream(record.logs() / "chunk-1.job-77.log")
      << "motefield: frame 4: footage missing\nmotefield farm: chunk finished with status 1\n";
  std::ofstream(record.logs() / "chunk-2.job-77.log") << "motefield farm: chunk 2\n";

  const CliResult r = motefield("farm status " + record.file().string());
  ASSERT_EQ(r.status, 1) << r.err;  // frames failed or missing: not a finished job
  EXPECT_NE(r.out.find("did not answer"), std::string::npos) << r.out;
  const auto row = [&](int chunk) {
    const size_t at = r.out.find("\n" + std::to_string(chunk) + "  ");
    return at == std::string::npos ? "" : r.out.substr(at + 1, r.out.find('\n', at + 1) - at - 1);
  };
  EXPECT_NE(row(0).find("77_0         completed      3        0       0       0        0"),
            std::string::npos)
      << r.out;
  EXPECT_NE(row(1).find("77_1         failed         1        0       0       2        0"),
            std::string::npos)
      << r.out;
  EXPECT_NE(row(2).find("77_2         unknown        0        0       0       0        2"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("8 frames: 4 done, 0 running, 0 queued, 2 failed, 2 missing"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("chunk 1 failed: motefield: frame 4: footage missing"), std::string::npos)
      << r.out;

  // Resubmitting needs the scheduler to say what still runs: without it nothing is sent.
  const CliResult again = motefield("farm resubmit " + record.file().string());
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("nothing was submitted"), std::string::npos) << again.err;
}

}  // namespace
}  // namespace mf::test
