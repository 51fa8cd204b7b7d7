@echo off
rem Starts cmd.exe suspended through quenlark, shows the process id it
rem returned, and ends that process by its id to show that it exists.
rem Usage: demo.cmd FOLDER-OF-QUENLARK
echo ^> quenlark /s C:\windows\system32\cmd.exe /c echo hello
"%~1\quenlark.exe" /s C:\windows\system32\cmd.exe /c echo hello
set pid=%ERRORLEVEL%
echo quenlark's exit status: %pid%
if "%pid%"=="0" exit /b 1
echo ^> taskkill /pid %pid% /f
taskkill /pid %pid% /f
echo.
