#include "tracks/Id3v1.h"
#include "AudioFixtures.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace tracks;
using primitives::Text;

TEST(Id3v1, ReadsFieldsFromTheLast128Bytes) {
    TempDir dir;
    const Text path = dir.write("a.mp3", Text(1000, '\xFF') + id3v1_tag("Title", "Artist", "Album"));
    EXPECT_EQ(read_tag_field(path, Title), "Title");
    EXPECT_EQ(read_tag_field(path, Album), "Album");
    EXPECT_EQ(read_tag_field(path, Artist), "Artist");
    EXPECT_EQ(read_tag_field(path, 0), "");
    EXPECT_EQ(read_tag_field(path, 4), "");
    EXPECT_EQ(size_text(path), "1128");
    const TagFields all = read_tag(path);
    EXPECT_EQ(all.title, "Title");
    EXPECT_EQ(all.album, "Album");
    EXPECT_EQ(all.artist, "Artist");
}

TEST(Id3v1, MarkerCaseBlanksZerosAndGbk) {
    TempDir dir;
    const Text gbk_title = "\xD4\xC2\xC1\xC1";          // 月亮
    const Text gbk_artist = "\xB5\xCB\xC0\xF6\xBE\xFD"; // 邓丽君
    const Text gbk_album = "\xBE\xAD\xB5\xE4";          // 经典
    Text lower = dir.write("l.mp3", Text(10, 'x') + id3v1_tag(gbk_title, gbk_artist, gbk_album, "tAg"));
    EXPECT_EQ(read_tag_field(lower, Title), gbk_title);
    EXPECT_EQ(read_tag_field(lower, Artist), gbk_artist);
    EXPECT_EQ(read_tag_field(lower, Album), gbk_album);

    Text padded = dir.write("p.mp3", id3v1_tag("Song" + Text(26, ' '), Text("\0after", 6), "Al"));
    EXPECT_EQ(read_tag_field(padded, Title), "Song" + Text(26, ' '));
    EXPECT_EQ(read_tag_field(padded, Artist), "");
    EXPECT_EQ(read_tag_field(padded, Album), "Al");

    Text no_marker = dir.write("n.mp3", id3v1_tag("T", "A", "B", "TAX"));
    EXPECT_EQ(read_tag_field(no_marker, Title), "");
    EXPECT_EQ(size_text(no_marker), "128");
}

TEST(Id3v1, ShortEmptyAndMissingFiles) {
    TempDir dir;
    // 40 bytes: title from bytes 3..32, artist the 7 bytes 33..39, no album.
    const Text forty = "TAG" + Text(30, 'T') + "ARTISTS";
    const Text path = dir.write("forty.mp3", forty);
    EXPECT_EQ(read_tag_field(path, Title), Text(30, 'T'));
    EXPECT_EQ(read_tag_field(path, Artist), "ARTISTS");
    EXPECT_EQ(read_tag_field(path, Album), "");

    const Text empty = dir.write("empty.mp3", "");
    EXPECT_EQ(size_text(empty), "0");
    EXPECT_EQ(read_tag_field(empty, Title), "");

    const Text missing = dir.file("missing.mp3");
    EXPECT_EQ(size_text(missing), "-1");
    EXPECT_EQ(read_tag_field(missing, Title), "");
    EXPECT_EQ(read_tag(missing).artist, "");
}

TEST(Id3v1, CorpusFiles) {
    const std::string corpus = corpus_folder();
    if (corpus.empty()) GTEST_SKIP() << "shared corpus folder not found";
    EXPECT_EQ(read_tag_field(corpus + "/mp3agic__v1tag.mp3", Title), "TITLE1234567890123456789012345");
    EXPECT_EQ(read_tag_field(corpus + "/mp3agic__v1tag.mp3", Album), "ALBUM1234567890123456789012345");
    EXPECT_EQ(read_tag_field(corpus + "/tinytag__id3v1-latin1.mp3", Artist), "Bj\xF6rk");
    EXPECT_EQ(read_tag_field(corpus + "/mp3agic__notanmp3.mp3", Title), "");
    EXPECT_EQ(size_text(corpus + "/tinytag__incomplete.mp3"), "3");
    EXPECT_EQ(read_tag_field(corpus + "/tinytag__incomplete.mp3", Title), "");
}
