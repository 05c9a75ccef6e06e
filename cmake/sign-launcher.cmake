# Run by CPack on the staged copy of the launcher, before it is archived:
# signs it with osslsigncode when ADMINCHECK_SIGN_PKCS12 names a certificate.
# ADMINCHECK_SIGN_PASSWORD_FILE names the file that holds its password, which
# osslsigncode reads itself, so that it is on no command line.
# ADMINCHECK_SIGN_TIMESTAMP_URL, if set, adds an RFC 3161 time stamp. The
# signing time is SOURCE_DATE_EPOCH, so the same commit and key sign alike.
if(NOT DEFINED ENV{ADMINCHECK_SIGN_PKCS12})
  return()
endif()
foreach(variable ADMINCHECK_SIGN_PASSWORD_FILE SOURCE_DATE_EPOCH)
  if(NOT DEFINED ENV{${variable}})
    message(FATAL_ERROR "signing needs ${variable}")
  endif()
endforeach()

set(options -pkcs12 $ENV{ADMINCHECK_SIGN_PKCS12} -readpass $ENV{ADMINCHECK_SIGN_PASSWORD_FILE}
            -h sha256 -n AdminCheck -time $ENV{SOURCE_DATE_EPOCH})
if(DEFINED ENV{ADMINCHECK_SIGN_TIMESTAMP_URL})
  list(APPEND options -ts $ENV{ADMINCHECK_SIGN_TIMESTAMP_URL})
endif()

file(GLOB_RECURSE launcher ${CPACK_TEMPORARY_DIRECTORY}/AdminCheck.exe)
execute_process(COMMAND osslsigncode sign ${options} -in ${launcher} -out ${launcher}.signed
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "osslsigncode could not sign ${launcher}")
endif()
file(RENAME ${launcher}.signed ${launcher})
file(CHMOD ${launcher} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
     GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
message(STATUS "signed ${launcher}")
