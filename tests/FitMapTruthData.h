// Analysis input files that the fit map once read or judged otherwise than
// the run: the flood example with its record lines changed as users' files
// come.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "TextFile.h"

enum class TFloodVariant {
  ThreeValues,  // no escape rate on the record lines: the maximum escape rate holds
  ManyDigits,   // more digits than Save keeps
  OneSlip,      // one runoff in the wrong unit (times 1000)
  AllSlipped,   // every runoff in the wrong unit: no alpha function fits
};

inline std::string FloodVariantText(TFloodVariant variant) {
  TTextReader in(ReadFileBytes(ExampleDataFile("spotpy_d_flood2013_12d.inp")));
  std::string text;
  for (int line = 1; !in.Eof(); ++line) {
    std::string row = in.ReadLine();
    if (line >= 15 && !row.empty()) {
      TTextReader fields(row);
      const int serial = fields.ReadInteger();
      const double time = fields.ReadReal(), rain = fields.ReadReal();
      const double escape = fields.ReadReal(), runoff = fields.ReadReal();
      const auto number = [](double value, int decimals) {
        std::string field(1, ' ');
        field += FormatFixed(value, 1, decimals);
        return field;
      };
      row = FormatFixed(serial, 5, 0) + number(time, 2) + number(rain, 2);
      switch (variant) {
        case TFloodVariant::ThreeValues:
          row += number(runoff, 2);
          break;
        case TFloodVariant::ManyDigits:
          row += number(escape, 2) + number(runoff + 0.000123456789 * serial, 12);
          break;
        case TFloodVariant::OneSlip:
          row += number(escape, 2) + number(serial == 6 ? runoff * 1000 : runoff, 2);
          break;
        case TFloodVariant::AllSlipped:
          row += number(escape, 2) + number(runoff * 1000, 2);
          break;
      }
    }
    text += row + "\r\n";
  }
  return text;
}
