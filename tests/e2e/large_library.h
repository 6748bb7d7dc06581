// The large library of the figures and of the tests that need its size.
#pragma once

#include <string>

#include "tests/e2e/e2e_driver.h"

// About 10 MB: 50 x 10 x 10 labels in three levels, 20 phrases in each of
// the 5,000 lowest, every fifth of two lines.
inline bool WriteLargeLibrary(const std::string& path)
{
    static const char* const words[] = {"お世話になっております", "会議", "資料", "確認", "ご連絡",
                                        "本日", "打ち合わせ", "よろしくお願いいたします", "見積書",
                                        "請求書", "承知しました", "日程", "調整"};
    const int wordCount = sizeof words / sizeof words[0];
    std::string out = "<u>\"root\"\r\n";
    unsigned seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    for (int a = 0; a < 50; a++) {
        out += "    <u>\"分類" + std::to_string(a) + "\"\r\n";
        for (int b = 0; b < 10; b++) {
            out += "        <u>\"項目" + std::to_string(b) + "\"\r\n";
            for (int c = 0; c < 10; c++) {
                out += "            <u>\"定型" + std::to_string(c) + "\"\r\n";
                for (int p = 0; p < 20; p++) {
                    out += "                <p>\r\n";
                    for (int line = 0; line < (p % 5 == 0 ? 2 : 1); line++) {
                        out += "                \"";
                        for (int w = 0; w < 4; w++)
                            out += words[next() % wordCount], out += "、";
                        out += std::to_string(p) + "\"\r\n";
                    }
                    out += "                </p>\r\n";
                }
                out += "            </u>\r\n";
            }
            out += "        </u>\r\n";
        }
        out += "    </u>\r\n";
    }
    out += "</u>\r\n";
    return WriteFileBytes(path, out);
}
