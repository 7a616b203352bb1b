#include "core/drives/DriveInfo.h"

#include "lib/SettingsLines.h"
#include "lib/SizeText.h"

#include <cstdio>

namespace nrvs {

std::string SerialText(uint32_t serial) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(serial));
    return buf;
}

std::vector<InfoRow> DriveInfoRows(const DriveRecord& d) {
    auto flag = [&d](uint32_t bit) { return YesNoText((d.FileSystemFlags & bit) != 0); };
    // The cluster size is the product as the volume reported its parts, in
    // 64 bits: a record whose ClusterSize was never filled still shows it.
    const double cluster =
        static_cast<double>(d.SectorsPerCluster) * static_cast<double>(d.BytesPerSector);
    return {
        {"ドライブレター", d.RootPath.substr(0, 1)},
        {"ボリュームラベル", d.VolumeName},
        {"シリアルナンバ", SerialText(d.SerialNumber)},
        {"ファイルシステム", d.FileSystem},
        {"セクタ／クラスタ", GroupedNumber(d.SectorsPerCluster, 0)},
        {"バイト／セクタ", GroupedNumber(d.BytesPerSector, 0)},
        {"クラスタサイズ", GroupedNumber(cluster, 0)},
        {"総クラスタ", GroupedNumber(d.TotalClusters, 0)},
        {"空きクラスタ", GroupedNumber(d.FreeClusters, 0)},
        {"リムーバブル", YesNoText(d.Removable != 0)},
        {"圧縮ボリューム", flag(0x8000)},
        {"大文字／小文字区別のサポート", flag(0x1)},
        {"Unicodeのサポート", flag(0x4)},
        {"アクセス制御リストのサポート", flag(0x8)},
        {"ファイルベース圧縮のサポート", flag(0x10)},
        {"暗号化ファイルシステムのサポート", flag(0x20000)},
        {"オブジェクトIDのサポート", flag(0x10000)},
        {"りパースポイントのサポート", flag(0x80)},
        {"スパースファイルのサポート", flag(0x40)},
        {"クオータのサポート", flag(0x20)},
    };
}

std::string VersionLine(const std::string& version, const std::string& commit) {
    std::string line = "Norvessa  Version " + version;
    if (!commit.empty()) line += " (" + commit + ")";
    return line;
}

} // namespace nrvs
