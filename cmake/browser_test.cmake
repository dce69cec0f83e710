# Runs the browser test (tests/browser/play_page.test.js) after checking
# that its tools are there; a missing one fails the test with its name and
# how to install it. Variables: TEST_DIR, CHROMIUM (the browser the test
# launches), TARNVEL, OUT_DIR.
set(install_hint "install it with scripts/install-deps.sh test")
find_program(NODE node NO_CACHE)
if(NOT NODE)
  message(FATAL_ERROR "browser test: node is missing (not on PATH); ${install_hint}")
endif()
if(NOT EXISTS "${CHROMIUM}")
  message(FATAL_ERROR "browser test: Chromium is missing (${CHROMIUM}); ${install_hint}")
endif()
execute_process(COMMAND "${NODE}" -e "require.resolve('playwright-core')"
                WORKING_DIRECTORY "${TEST_DIR}" RESULT_VARIABLE found OUTPUT_QUIET ERROR_QUIET)
if(NOT found EQUAL 0)
  message(FATAL_ERROR "browser test: playwright-core is missing (${TEST_DIR}/node_modules); ${install_hint}")
endif()
execute_process(COMMAND "${NODE}" "${TEST_DIR}/play_page.test.js" "${TARNVEL}" "${OUT_DIR}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "browser test failed (${status})")
endif()
