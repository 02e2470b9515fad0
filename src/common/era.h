#pragma once
// Japanese era (gengo) of a date.
#include <string>

#include "common/types.h"

namespace zumen {

// Era names and years of the calendar date of t.
//   yearText            Western year, decimal.
//   eraName1, eraYear1  by the table 明治, 大正, 昭和, 平成 (平成 years go on
//                       counting after 30 April 2019).
//   eraName2, eraYear2  by the full table, with 令和 from 1 May 2019.
// Era years are decimal without padding (the first year is "1"). Dates before
// 23 October 1868 have empty era names and years.
void GetGengo(const DateTime& t, std::u16string& yearText, std::u16string& eraName1, std::u16string& eraYear1,
              std::u16string& eraName2, std::u16string& eraYear2);

}  // namespace zumen
