// The district a user means by a name typed on the command line. The
// window's list names its districts in its own way ("В. Търново",
// "София - окръг"); people type them as they say them ("Велико Търново",
// "Софийска област", "софия-град"). A name matches a district when it is
// the list's name or one of the district's usual full names, whatever the
// case of its letters and the blanks, hyphens, dots or brackets between its
// words. A name that matches none is refused with the districts it comes
// nearest to, so that a typing slip or a name of two districts is told
// apart from a name that is not in the list at all.
#pragma once

#include <string>
#include <string_view>

#include "number/number_rules.h"

namespace egn::number {

// The district that `typed` (UTF-8) names. Nothing when it names none, and
// then `problem` says so, naming the nearest districts if any is near.
const Region* RegionNamed(std::string_view typed, std::string& problem);

}  // namespace egn::number
