#pragma once
// An Ogg Theora video played into an image that its owner draws like any
// picture. libogg frames the pages, libtheora decodes; the colour conversion
// and the timing are ours. The video has no sound. Main thread only.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/gfx/a_image.h"
#include "engine/util/a_critical_section.h"
#include "engine/util/a_rect.h"

// One 4:2:0 frame as planes of 8-bit samples and the picture shown from it.
// Chroma samples sit at half the luma position; strides may be negative.
struct aYuvPlanes {
    const std::uint8_t* y = nullptr;
    const std::uint8_t* u = nullptr;
    const std::uint8_t* v = nullptr;
    std::int32_t yStride = 0;
    std::int32_t uvStride = 0;
    std::uint32_t pictureX = 0;  // luma position of the picture's top-left sample
    std::uint32_t pictureY = 0;
    std::uint32_t width = 0;  // picture size
    std::uint32_t height = 0;
};

// The critical section is there for owners that share a video with another
// thread; nothing here enters it.
class aTheoraVideo : public aCriticalSection {
public:
    // Tables of the conversion, indexed by the 8-bit chroma sample.
    struct YuvTables {
        std::int32_t redFromV[256];
        std::int32_t greenFromV[256];
        std::int32_t greenFromU[256];
        std::int32_t blueFromU[256];
    };

    aTheoraVideo();
    ~aTheoraVideo() override;
    aTheoraVideo(const aTheoraVideo&) = delete;
    aTheoraVideo& operator=(const aTheoraVideo&) = delete;

    // Closes an open video first. The path may name a file inside an
    // archive (it is played from a temporary copy). False, with the video
    // closed, when the file is missing or is no playable Theora stream.
    bool open(const std::string& path, bool loop);
    bool isOpen() const { return m_file != nullptr; }
    // The picture size of the last opened video.
    std::uint32_t getWidth() const { return m_width; }
    std::uint32_t getHeight() const { return m_height; }

    // Shows at most one new frame per call, when a frame time has passed.
    void update(float dt);
    // The image drawn with the blend mode set around it; the previous mode
    // comes back afterwards. flags: aImageDrawFlags.
    void draw(float x, float y, const aRect* source, std::uint32_t color, std::uint32_t flags, float angle,
              int blend);

    const aImage& getImage() const { return *m_image; }
    float getFrameTime() const { return m_frameTime; }

    static const YuvTables& yuvTables();
    // The picture of the planes as B, G, R, A bytes (A = 255), width x height
    // pixels, rows width apart.
    static void convert(const aYuvPlanes& planes, std::uint32_t* out);
    // Copies width x height pixels (rows width apart) into the image's
    // top-left through a lock; false, with nothing copied, when the lock fails.
    static bool copyToImage(aImage& image, const std::uint32_t* pixels, std::uint32_t width, std::uint32_t height);

private:
    struct State;

    // False when the headers are bad; the stream state is then cleared.
    bool readHeaders();
    // True when the headers describe a picture this player can show.
    bool checkStream();
    // Feeds 8192 bytes to the sync state; false at the end of the file.
    bool readData();
    // The next packet of the video stream; false at the end of the file.
    bool nextPacket();
    // At the end of the file: back to the start, or closed. False when
    // the video ended.
    bool restart();
    void closeStream();
    void closeFile();
    void showFrame();

    std::unique_ptr<State> m_state;
    std::FILE* m_file = nullptr;
    bool m_loop = false;
    std::unique_ptr<aImage> m_image;
    std::vector<std::uint32_t> m_buffer;  // the picture converted, allocated at the first frame
    float m_frameTime = 0.0f;
    float m_elapsed = 0.0f;

    std::string m_path;  // for the log
    std::uint32_t m_width = 0;
    std::uint32_t m_height = 0;
    std::uint32_t m_pictureX = 0;
    std::uint32_t m_pictureY = 0;
    // Plane sizes of the first frame; later frames must match them.
    std::int32_t m_planeWidth = 0;
    std::int32_t m_planeHeight = 0;
    std::int32_t m_chromaWidth = 0;
    std::int32_t m_chromaHeight = 0;
    bool m_sizeWarned = false;
    // A packet has decoded since the decoder started: before that the
    // decoder's frame pointers mean nothing.
    bool m_decoded = false;
};
