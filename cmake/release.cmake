# The release's facts, each written once: the version is the project's (CMakeLists.txt), the day
# of the release is VEBIX_RELEASE_DATE (yyyy-mm-dd). From them come the forms the other files
# need: the manual page's month ("December 2026") and the Debian changelog's date
# ("Fri, 11 Dec 2026 00:00:00 +0000").

function(vebix_release_forms date)
  if(NOT date MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
    message(FATAL_ERROR "VEBIX_RELEASE_DATE must read yyyy-mm-dd, not '${date}'")
  endif()
  set(year ${CMAKE_MATCH_1})
  math(EXPR month "1${CMAKE_MATCH_2} - 100")
  math(EXPR day "1${CMAKE_MATCH_3} - 100")
  set(months January February March April May June July August September October November
      December)
  math(EXPR m "${month} - 1")
  list(GET months ${m} monthName)
  string(SUBSTRING ${monthName} 0 3 monthShort)
  # The day of the week (0 Sunday), by Sakamoto's rule.
  set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  list(GET offsets ${m} offset)
  set(y ${year})
  if(month LESS 3)
    math(EXPR y "${y} - 1")
  endif()
  math(EXPR weekday "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${offset} + ${day}) % 7")
  set(weekdays Sun Mon Tue Wed Thu Fri Sat)
  list(GET weekdays ${weekday} weekdayName)
  if(day LESS 10)
    set(day "0${day}")
  endif()
  set(VEBIX_RELEASE_MONTH "${monthName} ${year}" PARENT_SCOPE)
  set(VEBIX_RELEASE_DATE_RFC2822 "${weekdayName}, ${day} ${monthShort} ${year} 00:00:00 +0000"
      PARENT_SCOPE)
endfunction()

vebix_release_forms(${VEBIX_RELEASE_DATE})
