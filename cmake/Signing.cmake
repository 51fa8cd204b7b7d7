# Authenticode signatures with osslsigncode: signing a program, taking one
# signed elsewhere, and telling whether a signed program is a given unsigned
# one. Included by the release and verify-release scripts.

find_program(OSSLSIGNCODE osslsigncode)

function(require_osslsigncode)
    if(NOT OSSLSIGNCODE)
        message(FATAL_ERROR "signatures need osslsigncode (scripts/install-prerequisites installs it)")
    endif()
endfunction()

# Signs `unsigned` into `signed` with the key and certificate of the PKCS#12
# file `certificate`, whose password is in the environment variable
# QUENLARK_SIGNING_PASSWORD. The password goes to osslsigncode through a pipe
# from the shell's own printf, so it stands on no command line, and neither it
# nor the key is written anywhere. Without a time stamp server, the signing
# time is `epoch`, so that signing the same program twice gives the same bytes.
function(sign_program unsigned signed certificate epoch timestampUrl)
    require_osslsigncode()
    if(timestampUrl)
        set(timeArguments -ts ${timestampUrl})
    else()
        set(timeArguments -time ${epoch})
    endif()
    file(REMOVE ${signed})
    execute_process(
        COMMAND sh -c "printf '%s' \"$QUENLARK_SIGNING_PASSWORD\" | exec \"$@\"" sh
                ${OSSLSIGNCODE} sign -pkcs12 ${certificate} -readpass /dev/stdin -h sha256 -n quenlark
                ${timeArguments} -in ${unsigned} -out ${signed}
        OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "signing ${unsigned} failed:\n${output}")
    endif()
endfunction()

# Sets `result` to the program `program` without its signature, written to
# `unsigned`, or to NOTFOUND when it carries none.
function(remove_signature program unsigned result)
    require_osslsigncode()
    file(REMOVE ${unsigned})
    execute_process(COMMAND ${OSSLSIGNCODE} remove-signature -in ${program} -out ${unsigned}
                    OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE failed)
    if(failed OR NOT EXISTS ${unsigned})
        set(${result} NOTFOUND PARENT_SCOPE)
    else()
        set(${result} ${unsigned} PARENT_SCOPE)
    endif()
endfunction()

# Sets `result` to TRUE when the signature of `program` is whole: the digest
# it signed is the program's, and the signature checks out against the
# certificates it carries (and the system's, for a chain to a public root).
# Whether to trust the signer is the user's call, on Windows.
function(signature_is_whole program work result)
    require_osslsigncode()
    set(signature ${work}/signature.pem)
    set(certificates ${work}/certificates.pem)
    file(REMOVE ${signature} ${certificates})
    execute_process(COMMAND ${OSSLSIGNCODE} extract-signature -pem -in ${program} -out ${signature}
                    OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE failed)
    if(NOT failed)
        execute_process(COMMAND openssl pkcs7 -in ${signature} -print_certs -out ${certificates}
                        OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE failed)
    endif()
    if(NOT failed AND EXISTS /etc/ssl/certs/ca-certificates.crt)
        file(READ /etc/ssl/certs/ca-certificates.crt systemCertificates)
        file(APPEND ${certificates} "${systemCertificates}")
    endif()
    if(NOT failed)
        execute_process(COMMAND ${OSSLSIGNCODE} verify -CAfile ${certificates} -in ${program}
                        OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE failed)
    endif()
    if(failed)
        set(${result} FALSE PARENT_SCOPE)
    else()
        set(${result} TRUE PARENT_SCOPE)
    endif()
endfunction()
