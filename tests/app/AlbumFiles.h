#pragma once

#include <QFile>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace vyr::test {

struct Track {
    std::string fileName;
    int bytes;
};

// An album file as the format has it: CR LF header lines ending in EXTBIN, then each track's
// bytes. The data is far longer than the header, as a real album's is.
inline std::string AlbumBytes(const std::string& title, const std::string& artist, const std::vector<Track>& tracks)
{
    std::string header = "#EXTM3U\r\n#EXTVYR\r\n#EXTALB:" + title + "\r\n#EXTART:" + artist + "\r\n";
    std::string data;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        header += "#EXTBYT:" + std::to_string(tracks[i].bytes) + "\r\n";
        header += "#EXTINF:61," + tracks[i].fileName + "\r\n";
        header += tracks[i].fileName + "\r\n";
        data += std::string(static_cast<std::size_t>(tracks[i].bytes), static_cast<char>('a' + i));
    }
    return header + "#EXTBIN\r\n" + data;
}

inline std::string WriteFile(const QTemporaryDir& dir, const std::string& name, const std::string& bytes)
{
    const QString path = dir.filePath(QString::fromStdString(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return path.toStdString();
}

}  // namespace vyr::test
