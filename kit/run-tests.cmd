@echo off
rem Runs every test of the kit that this Windows can run: x86 everywhere, x64
rem on 64-bit Windows that runs x64 programs, arm64 on Windows on ARM64.
rem Usage: run-tests.cmd [REPORT_FOLDER]
rem The closing line is "N passed, N failed, N skipped"; the exit status is 0
rem only when nothing failed and at least one test passed.
"%~dp0run-tests.exe" %*
exit /b %ERRORLEVEL%
