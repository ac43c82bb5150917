// Decoding the splash picture.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "shell/JpegImage.h"
#include "tests/shell/ShellFixture.h"

namespace {

class Jpeg : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        std::string cmd = "ffmpeg -v error -y -f lavfi -i color=c=0xff0000:s=38x22 -frames:v 1 \"" +
                          dir_->Folder() + "red.jpg\"";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        bytes_ = ReadFile(dir_->Path() / "red.jpg");
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static const std::uint8_t* Data(const std::string& s) {
        return reinterpret_cast<const std::uint8_t*>(s.data());
    }
    static TempDir* dir_;
    static std::string bytes_;
};

TempDir* Jpeg::dir_ = nullptr;
std::string Jpeg::bytes_;

TEST_F(Jpeg, DecodesAtItsNaturalSize) {
    TBitmapImage image;
    std::string error;
    ASSERT_TRUE(DecodeJpeg(Data(bytes_), bytes_.size(), image, &error)) << error;
    EXPECT_EQ(image.Width, 38);
    EXPECT_EQ(image.Height, 22);
    ASSERT_EQ(image.Rgb.size(), 38u * 22u * 3u);
    size_t mid = (11 * 38 + 19) * 3;
    EXPECT_GT(image.Rgb[mid], 200);
    EXPECT_LT(image.Rgb[mid + 1], 60);
    EXPECT_LT(image.Rgb[mid + 2], 60);
}

TEST_F(Jpeg, DamagedDataFailsWithoutEndingTheProgram) {
    TBitmapImage image;
    std::string error;
    for (size_t cut : {size_t{0}, size_t{3}, size_t{20}, bytes_.size() / 3}) {
        std::string part = bytes_.substr(0, cut);
        bool ok = DecodeJpeg(Data(part), part.size(), image, &error);
        // A truncated scan may still decode (libjpeg pads it), but never
        // into a picture of another size.
        if (ok) {
            EXPECT_EQ(image.Width, 38);
        } else {
            EXPECT_TRUE(image.Empty());
            EXPECT_FALSE(error.empty());
        }
    }
    std::string garbage(500, '\x5a');
    EXPECT_FALSE(DecodeJpeg(Data(garbage), garbage.size(), image, &error));
    EXPECT_FALSE(DecodeJpeg(nullptr, 0, image, &error));
}

TEST_F(Jpeg, TheSplashPictureOfResLibraryDecodes) {
    ShellWorld w;
    int width = 0;
    w.App->ShowSplashModal = [&](TFrmFlashForm& splash) {
        width = splash.Picture.Width;
        splash.FormShow();
        splash.TickCount = 2;
        splash.Timer1.Tick();
    };
    w.App->FormShow();
    EXPECT_EQ(width, 480);
}

} // namespace
