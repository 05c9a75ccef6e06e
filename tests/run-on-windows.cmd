@echo off
rem Runs every *_test.exe in FOLDER, each from a fresh working folder of its
rem own under %TEMP%, and prints their output. FOLDER also holds what the tests
rem use beside them: AdminCheck.exe and the stand-ins. Exits with 0 only when
rem at least one program ran and every one passed; otherwise names the ones
rem that failed and exits with 1.
rem
rem Usage: run-on-windows.cmd FOLDER
rem
rem The failures are collected in a subroutine, not in a parenthesised FOR
rem body: cmd expands %variables% in a block once, when it reads the block, so
rem a list built there would keep only the last failure.
setlocal EnableExtensions DisableDelayedExpansion

if "%~1"=="" goto usage
set "folder=%~f1"
if not exist "%folder%\" goto no_folder

:pick_work_folder
set "work=%TEMP%\admincheck-tests-%RANDOM%"
if exist "%work%" goto pick_work_folder
mkdir "%work%"
if not exist "%work%\" goto no_work_folder

set ran=0
set failed=
rem A wildcard in quotes is not expanded by every cmd, so list from inside.
pushd "%folder%"
for %%p in (*_test.exe) do call :run_test "%%~fp"
popd

if %ran%==0 goto none_ran
if defined failed goto some_failed
echo run-on-windows: all %ran% test programs passed
rd /s /q "%work%"
exit /b 0

:some_failed
echo run-on-windows: FAILED:%failed%
echo run-on-windows: their working folders are kept in "%work%"
exit /b 1

:none_ran
echo run-on-windows: no *_test.exe in "%folder%"
rd /s /q "%work%"
exit /b 1

:no_work_folder
echo run-on-windows: cannot make a working folder in "%TEMP%"
exit /b 1

:no_folder
echo run-on-windows: "%folder%" is not a folder
exit /b 1

:usage
echo usage: %~nx0 FOLDER
exit /b 2

rem Runs the program %1 in a new folder named after it; records a failure.
:run_test
set /a ran+=1
echo.
echo ==== %~nx1
mkdir "%work%\%~n1"
pushd "%work%\%~n1"
"%~1"
set status=%errorlevel%
popd
if %status%==0 (
    echo ==== %~nx1 passed
) else (
    echo ==== %~nx1 FAILED with exit status %status%
    set "failed=%failed% %~nx1"
)
exit /b 0
