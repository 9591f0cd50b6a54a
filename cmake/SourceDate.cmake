# The time every package's files carry: the release's date (EGN_RELEASE_DATE,
# YYYY-MM-DD, kept beside the version in the source), as seconds since 1970
# at midnight UTC, in EGN_SOURCE_DATE_EPOCH. Taken from the source itself, a
# build from a checkout and one from a tarball give the same bytes; a
# SOURCE_DATE_EPOCH in the environment (as Debian's tools set it) wins.
function(egn_source_date_epoch date out)
  if(NOT date MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
    message(FATAL_ERROR "the release date \"${date}\" is not YYYY-MM-DD")
  endif()
  # Leading zeros off: math() reads 08 as octal.
  math(EXPR year "1${CMAKE_MATCH_1} - 10000")
  math(EXPR month "1${CMAKE_MATCH_2} - 100")
  math(EXPR day "1${CMAKE_MATCH_3} - 100")
  # Days since 1970-01-01 in the proleptic Gregorian calendar, counting the
  # year from March so that the leap day comes last.
  if(month LESS_EQUAL 2)
    math(EXPR year "${year} - 1")
    math(EXPR month "${month} + 9")
  else()
    math(EXPR month "${month} - 3")
  endif()
  math(EXPR days "365 * ${year} + ${year} / 4 - ${year} / 100 + ${year} / 400
                  + (153 * ${month} + 2) / 5 + ${day} - 1 - 719468")
  math(EXPR seconds "${days} * 86400")
  set(${out} ${seconds} PARENT_SCOPE)
endfunction()

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(EGN_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  egn_source_date_epoch(${EGN_RELEASE_DATE} EGN_SOURCE_DATE_EPOCH)
endif()
