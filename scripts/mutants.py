#!/usr/bin/env python3
"""Plants faults one at a time in a scratch copy of the tree and tells which make a test
fail: a sample of what the tests catch.
Usage: scripts/mutants.py [scratch folder [words of the faults to plant ...]]
Each fault is (file, text, replacement, tests to run as a ctest -R pattern, what it breaks)."""
import os, subprocess, sys, shutil

FAULTS = [
    ("src/encoder/MpegSource.cpp", 'fail(kFailInput, m_path, std::string("decoding stopped: ") + mpg123_plain_strerror(rc));',
     "m_done = true;", "BrokenStreams|Corpus", "a decode error taken as the end of the stream"),
    ("src/convert/ConversionRun.cpp", "constexpr std::size_t kChunkBytes = 80;", "constexpr std::size_t kChunkBytes = 65536;",
     "conversion_run", "the run reads the whole output at once"),
    ("src/layouts/Layouts.cpp", '{"次CD品质(112Kbps)", 112}', '{"次CD品质(112Kbps)", 111}', "main_window",
     "a wrong item value for 112 kbps"),
    ("src/layouts/Layouts.cpp", '{"按钮1", K::Button, "分组框2", 4, 70, 32, 32,', '{"按钮1", K::Button, "分组框2", 5, 70, 32, 32,',
     "main_window", "a control 1 px off"),
    ("src/convert/OutputPlan.cpp", "    if (use == Use::Source) return {{}, true};\n", "", "OutputPlan|conversion_run",
     "an output chosen over a queued source"),
    ("src/shell/HelpCommands.cpp", "    QDialog about;", "    static QDialog about;", "help_about",
     "the About window kept and reused"),
    ("src/shell/Startup.cpp", "    QApplication::setQuitOnLastWindowClosed(false);", "", "closing_and_signals_leave_nothing",
     "quitOnLastWindowClosed left on"),
    ("src/shell/Startup.cpp", "    QObject::connect(session.run.get(), &convert::ConversionRun::idle_after_close, &app, &QApplication::quit,",
     "    QObject::connect(session.run.get(), &convert::ConversionRun::finished, &app, [] {},", "closing_and_signals_leave_nothing",
     "the program never ends once its window is closed"),
    ("src/primitives/Files.cpp", "if (write_file_close()(fd) != 0) ok = false;", "write_file_close()(fd);", "Files",
     "write_file ignores a failed close"),
    ("src/primitives/Text.cpp", "    if (sought.empty()) return text.empty() ? -1 : 1;\n", "", "FindText",
     "an empty sought text walks the text"),
    ("src/primitives/Text.cpp", "return fraction >= 0.5 ? whole + 1.0 : whole;", "return fraction > 0.5 ? whole + 1.0 : whole;",
     "Rounding|ProgressLines", "halves rounded down"),
    ("src/primitives/Gbk.cpp", "static_cast<std::uint8_t>(in[1]) >= 0x40", "static_cast<std::uint8_t>(in[1]) >= 0x30", "Gbk",
     "a bad lead byte swallows the next character"),
    ("src/primitives/Files.cpp", "return static_cast<std::int64_t>(info.st_size);\n}\n\nbool file_exists",
     "return static_cast<std::int32_t>(info.st_size);\n}\n\nbool file_exists", "Files", "sizes cut to 32 bits"),
    ("src/primitives/Profile.cpp", "if (holds_line_break(section) || holds_line_break(key) || holds_line_break(value)) return false;",
     "", "Profile", "a line break in a value writes a broken file"),
    ("src/primitives/Profile.cpp", "    ProfileLock lock(target);\n", "", "Profile", "writers in several processes not locked"),
    ("src/primitives/Profile.cpp", "    if (!read) return false;\n", "    if (!read) read.emplace();\n", "Profile",
     "an unreadable settings file overwritten"),
    ("src/tracks/Id3v1.cpp", "    case Album:\n        return 64;", "    case Album:\n        return 34;", "Id3v1|track_commands",
     "album read from the artist's place"),
    ("src/tracks/Id3v1.cpp",
     "    if (!is_regular_path(path)) return {};\n    const ScopedFile file(open_file(path));\n"
     "    // It may have been swapped for something else since.\n    if (!is_regular_file(file.get())) return {};\n",
     "    const ScopedFile file(open_file(path));\n", "track_commands", "inspection waits on a FIFO"),
    ("src/convert/ProgressLines.cpp", "value = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 100.0);", "",
     "ProgressLines", "figures not held to 0..100"),
    ("src/convert/ProgressLines.cpp", "    if (!starts_with(line, kPrefix)) return std::nullopt;",
     "    if (line.find(kPrefix) == Text::npos) return std::nullopt;", "ProgressLines|conversion_run",
     "a progress prefix anywhere in a line counts"),
    ("src/convert/ProgressLines.cpp", "        if (auto update = take_line(m_partial)) newest = update;\n        m_partial.clear();",
     "        if (auto update = take_line(m_partial)) newest = update;", "ProgressLines",
     "a finished line is not cleared"),
    ("src/convert/OutputPlan.cpp", "    if (m_written.contains(*id)) return Use::Written;\n", "", "OutputPlan|conversion_run",
     "a later row overwrites an earlier result"),
    ("src/convert/OutputPlan.cpp", "const bool has_extension = dot != Text::npos && dot > 0;",
     "const bool has_extension = dot != Text::npos;", "OutputPlan", "a dot file's name taken as extension"),
    ("src/convert/ConversionRun.cpp", "    else if (file_size(m_output) <= 0)\n        failure = kNoOutput;\n", "",
     "conversion_run", "success without an output"),
    ("src/convert/ConversionRun.cpp", "ratio_text(file_size(m_output), m_source_size)",
     "ratio_text(file_size(m_output), file_size(m_source))", "conversion_run", "ratio of the source as the row ends"),
    ("src/convert/CommandLine.cpp", 'text += " -dm on";', 'text += " -dm";', "SwitchText", "mono switch without its on"),
    ("src/convert/EncoderImage.cpp", "constexpr int kExecutableMode = 0755;", "constexpr int kExecutableMode = 0700;",
     "EncoderImage", "the staged encoder with the wrong mode"),
    ("src/encoder/OutputFile.cpp", "    if (m_temporary) ::unlink(m_work.c_str());", "", "OutputSafety",
     "a failed encode leaves its temporary file"),
    ("src/encoder/OutputFile.cpp", "    if (!S_ISREG(info.st_mode)) return;\n", "", "OutputSafety",
     "a FIFO at the output path replaced"),
    ("src/encoder/Options.cpp", "constexpr long kHighestBitRate = 320000;", "constexpr long kHighestBitRate = 3200000;",
     "CommandLine", "bit rates above 320000 taken"),
    ("src/encoder/FormatConverter.cpp",
     "    return sample == sample ? std::clamp(sample, -1.0f, 1.0f) : 0.0f;", "    return std::clamp(sample, -1.0f, 1.0f);",
     "DamagedSamples", "NaN samples reach LAME"),
    ("src/encoder/Mp3Writer.cpp", "    m_own_info = !lame_reserves_info_frame(format, bit_rate);", "    m_own_info = false;",
     "Gapless", "no Info frame where LAME's does not fit"),
    ("src/encoder/InfoFrame.cpp", "    if (flags & kHasFrames) put_be(frame, at, totals.audio_frames, 4), at += 4;",
     "    if (flags & kHasFrames) put_be(frame, at, totals.audio_frames + 1, 4), at += 4;", "Gapless|Parallel",
     "the Info frame counts one frame too many"),
    ("src/encoder/Progress.cpp", "    if (thirds > m_thirds) print(thirds, false);", "    if (thirds != m_thirds) print(thirds, false);",
     "FormatChanges|ProgressLines", "progress may go back"),
    ("src/encoder/MpegSource.cpp", "        // Bytes that come with MPG123_NEW_FORMAT were decoded in the format before it.\n        block.rate = m_rate;\n        block.channels = m_channels;\n",
     "", "FormatChanges", "audio labelled with the format after a change"),
    ("src/layouts/ShortcutFilter.cpp", "key_press->modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier)",
     "key_press->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier)", "main_window", "Alt ignored by the key table"),
    ("src/layouts/WindowBuilder.cpp", "    table->setTabKeyNavigation(false);\n", "", "main_window", "Tab stays in the list"),
    ("src/layouts/WindowBuilder.cpp", "    SelectionHider::attach(table);\n", "", "main_window", "the list's selection shown without focus"),
    ("src/layouts/ListRows.cpp", "primitives::to_qstring(primitives::path_for_display(bytes))", "primitives::to_qstring(bytes)",
     "track_commands|conversion_run", "GBK names shown as replacement characters"),
    ("src/shell/Wiring.cpp", "{Command::BitRate64, [](Session& s) { convert::set_bit_rate(s.controls, 3); }},",
     "{Command::BitRate64, [](Session& s) { convert::set_bit_rate(s.controls, 2); }},", "main_window",
     "a key wired to the wrong bit rate"),
    ("src/shell/HelpCommands.cpp", "    else if (!open_document(path))", "    else if (!open_document(path) && false)",
     "help_about", "no message when no viewer opens the help"),
    ("src/shell/Startup.cpp", "    if (!primitives::display_reachable()) {", "    if (false) {", "desktop", "no message without a display"),
    # The system around the program: odd sources, signals, staging, displays, paths.
    ("src/encoder/main.cpp", 'if (!regular) fail(kFailInput, path, "not a regular file");', "(void)regular;",
     "Tvenc.Bad|conversion_run", "tvenc opens a FIFO source and waits for ever"),
    ("src/encoder/SignalCleanup.cpp", "if (char* path = slot.exchange(nullptr)) ::unlink(path);", "(void)slot;",
     "EndingSignals|signals_leave", "an ending signal leaves the temporary output"),
    ("src/encoder/SignalCleanup.cpp", "    std::signal(SIGXFSZ, SIG_IGN);\n", "", "AFullDisk",
     "the file-size signal kills tvenc"),
    ("src/encoder/main.cpp", "    } catch (const std::bad_alloc&) {\n", "    } catch (const std::bad_alloc&) {\n        throw;\n",
     "OutOfMemory", "out of memory ends in terminate"),
    ("src/encoder/Options.cpp", '    if (options.input == "-" || options.output == "-") return false;\n', "", "CommandLine.Switches",
     "a file named - written for standard output"),
    ("src/encoder/main.cpp", "    ::prctl(PR_SET_PDEATHSIG, SIGTERM);\n", "", "signals_leave",
     "the encoder outlives a killed program"),
    ("src/shell/Startup.cpp", "            session.window->close();\n            return;", "            return;",
     "signals_leave", "a logout's signal is ignored"),
    ("src/primitives/Staging.cpp", "    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && !sticky) return false;\n", "",
     "Staging|conversion_run", "staging in a folder others can write to"),
    ("src/primitives/Staging.cpp", "    return settled(info) && !FolderLock::in_use(folder);", "    return settled(info);",
     "Staging", "start-up removes the staging of a running program"),
    ("src/primitives/Display.cpp", "    const bool ok = xcb_connection_has_error(connection) == 0;", "    const bool ok = true;",
     "desktop", "a display that is gone taken for one"),
    ("src/primitives/Gbk.cpp", "        shown += name_for_display(bytes.substr(start, slash - start)) + '/';",
     "        shown += bytes.substr(start, slash - start) + '/';", "PathForDisplay", "folder names not decoded"),
    ("src/layouts/FramePlacer.cpp", "        m_window->removeEventFilter(this);\n", "", "frame_is_centred",
     "the window jumps back to the centre after a restore"),
    ("src/shared/PathParts.cpp", "    if (::realpath(path.c_str(), buffer)) return buffer;\n",
     "    if (::realpath(path.c_str(), buffer)) return buffer;\n    return path;\n", "Profile",
     "a dangling settings link replaced by a file"),
    ("src/layouts/Layouts.cpp", '{}, "比特率"}', '{}, ""}', "main_window", "the bit-rate box without its own name"),
    ("src/primitives/Text.cpp", "    if (std::isnan(x)) return 0;\n", "", "Rounding", "integer_part of NaN undefined"),
    ("src/convert/ConversionRun.cpp", "    m_next -= removed_before(m_next);\n", "", "conversion_run",
     "a row deleted during a run shifts the rest"),
    ("src/encoder/MpegSource.cpp", "static_cast<double>(mpeg_frames) * samples_per_frame / m_rate;",
     "static_cast<double>(m_facts.frames) / m_rate;", "Tvenc.Copied", "the copy rule counts the gapless length"),
    ("src/encoder/FormatConverter.cpp", "                sum += safe(src[c]);", "                sum += safe(src[0]);", "Tvenc.Mono",
     "mono takes the left channel only"),
    ("src/encoder/Tags.cpp", "    return kHeaderBytes + size + (footer ? kHeaderBytes : 0);", "    return kHeaderBytes + size;",
     "Tvenc.Every|Tvenc.Tags", "an ID3v2.4 footer left out"),
    ("src/layouts/WindowBuilder.cpp", "table->setSelectionMode(QAbstractItemView::SingleSelection);",
     "table->setSelectionMode(QAbstractItemView::ExtendedSelection);", "main_window", "several rows selected at once"),
    ("src/shell/HelpCommands.cpp", '.arg(QStringLiteral(TUNVASK_VERSION))', '.arg(QStringLiteral("1.0"))', "help_about",
     "About shows another version"),
    ("src/encoder/ParallelWorker.cpp", "m_progress += m_grid.to_input(b - a);", "m_progress += 2 * m_grid.to_input(b - a);",
     "Rates/Parallel", "parallel progress counts frames twice"),
    # Faults from a later sample that no test caught before its tests were written.
    ("src/encoder/Mp3Writer.cpp", "m_music_crc = crc16(m_buffer.data(), size, m_music_crc);",
     "m_music_crc = crc16(m_buffer.data(), size, 0);", "Gapless", "the Info frame's music CRC of the last chunk only"),
    ("src/encoder/OutputFile.cpp", "return 0666 & ~static_cast<int>(mask);", "return 0600;", "OutputSafety",
     "new outputs made private"),
    ("src/encoder/ParallelPlan.cpp", "out_rate >= 32000 ? 1152 : 576", "out_rate > 32000 ? 1152 : 576", "Gapless",
     "32 kHz frames taken as half frames (the split silently falls back to one core)"),
    ("src/encoder/SndfileSource.cpp", "SFC_SET_NORM_FLOAT, nullptr, SF_TRUE", "SFC_SET_NORM_FLOAT, nullptr, SF_FALSE",
     "Tvenc.Wav", "16-bit WAV read unscaled and clipped"),
    ("src/encoder/Mp3Writer.cpp", "settings.downmix || settings.in_channels == 1 ? 1 : 2", "settings.downmix ? 1 : 2",
     "Tvenc.Downmix", "mono sources encoded as stereo"),
    ("src/encoder/FormatConverter.cpp", "            dst[2 * f] = dst[2 * f + 1] = safe(src[f]);",
     "            dst[2 * f] = safe(src[f]), dst[2 * f + 1] = 0;", "FormatChanges", "a mono part's right channel silent"),
    ("src/encoder/FormatConverter.cpp", "dst[2 * f] = safe(src[0]), dst[2 * f + 1] = safe(src[1]);",
     "dst[2 * f] = safe(src[0]), dst[2 * f + 1] = safe(src[0]);", "Tvenc.Downmix", "5.1's right taken from the left"),
    ("src/encoder/OutputFile.cpp", "    if (::access(path.c_str(), W_OK) != 0) fail(kFailOutput, path, std::strerror(errno));\n", "",
     "OutputSafety", "a file the user may not write replaced"),
    ("src/primitives/Staging.cpp", "    if (info.st_uid != ::getuid() && !(info.st_uid == 0 && sticky)) return false;\n", "",
     "Staging", "staging in another user's folder"),
    ("src/shell/Startup.cpp", "    install_qt_translation(app);\n", "    (void)app;\n", "desktop", "Qt's own texts left English"),
    ("src/shell/Startup.cpp", "    QApplication::setWindowIcon(application_icon());\n", "", "desktop", "no window icon"),
    ("src/primitives/ChildProcess.cpp",
     '        posix_spawn_file_actions_addopen(&m_actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);\n', "",
     "conversion_run", "the encoder reads the program's own input"),
    ("src/encoder/WorkShares.cpp", "    owner.nominal_end = join * m_grid.frame;\n", "", "WorkShares|Parallel",
     "a taken-over share's frames counted by both workers"),
    ("src/layouts/Layouts.cpp", '{"艺术家", 50}', '{"艺术家", 60}', "main_window", "a list column of the wrong width"),
    ("src/layouts/Layouts.cpp", '{"按钮1", K::Button, "", 316, 150, 73, 26,', '{"按钮1", K::Button, "", 316, 152, 73, 26,',
     "help_about", "the About button 2 px off"),
    ("src/primitives/ChildProcess.cpp", "        posix_spawn_file_actions_addclosefrom_np(&m_actions, STDERR_FILENO + 1);\n", "",
     "conversion_run", "the encoder gets descriptors the program inherited"),
    ("src/tracks/TrackCommands.cpp", "if (m_table) m_table->setUpdatesEnabled(true);", "", "track_commands",
     "the list left without repainting after batch add"),
    ("src/primitives/FileSearch.cpp", "if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) return false;",
     "if (entry->d_type != DT_UNKNOWN) return false;", "track_commands", "a link to a folder queued as a file"),
    ("src/layouts/ShortcutFilter.cpp", "    if (static_cast<QWidget*>(watched)->window() != m_window) return false;\n", "",
     "help_about", "the main window's keys act in About"),
    ("src/layouts/WindowBuilder.cpp", "    table->setEditTriggers(QAbstractItemView::NoEditTriggers);\n", "", "main_window",
     "list cells edited in place"),
    ("src/layouts/BlockProgressBar.cpp", "x < inner.left() + filled;", "x < inner.left() + filled + block;", "main_window",
     "a block drawn at 0%"),
    ("src/layouts/WrappingButton.cpp", "Qt::AlignCenter | Qt::TextWrapAnywhere", "Qt::AlignCenter | Qt::TextSingleLine",
     "main_window", "the folder button's caption cut, not wrapped"),
    ("src/layouts/WindowBuilder.cpp", "    label->setAlignment(Qt::AlignCenter);\n", "", "main_window",
     "the percentage not centred"),
    ("src/shell/MouseSwallower.cpp", "reason() == QContextMenuEvent::Mouse", "reason() == QContextMenuEvent::Keyboard",
     "main_window", "a right click opens a menu on the folder box"),
    ("src/shell/HelpCommands.cpp", "centred_position(layout.outer_width, layout.outer_height)",
     "centred_position(layout.client_width, layout.client_height)", "help_about", "About centred by its client size"),
    ("src/primitives/Staging.cpp", "if (info.st_uid != ::getuid() && !(info.st_uid == 0 && sticky)) return false;",
     "if (info.st_uid != ::getuid() && !sticky) return false;", "Staging", "another user's sticky folder a staging base"),
    ("src/primitives/Staging.cpp", " || info.st_uid != ::getuid()) return false;\n    return settled", ") return false;\n    return settled",
     "Staging", "another user's stale folder removed"),
    ("src/primitives/TerminationSignals.cpp", "constexpr int kCaught[] = {SIGTERM, SIGHUP, SIGINT};",
     "constexpr int kCaught[] = {SIGTERM, SIGHUP};", "closing_and_signals_leave_nothing", "an interrupt ends the program at once"),
    ("src/encoder/main.cpp", "const int threads = !output.staged() ? 1 : options.threads", "const int threads = options.threads",
     "OutputSafety", "a FIFO output split over several cores"),
    ("src/encoder/OutputFile.cpp", "return 0666 & ~static_cast<int>(mask);", "return 0644 & ~static_cast<int>(mask);",
     "OutputSafety", "new outputs never group-writable"),
    ("src/encoder/OutputFile.cpp", "shared::name_of(final_path).substr(0, kNameBytesKept)", "shared::name_of(final_path)",
     "OutputSafety", "an output name of 255 bytes fails"),
    ("src/encoder/main.cpp", 'std::fprintf(stderr, "\\n%s\\n", message.c_str());', 'std::fprintf(stderr, "%s\\n", message.c_str());',
     "BrokenStreams", "a failure message written over the last progress figure"),
    ("src/primitives/ChildProcess.cpp", "current.sa_handler == SIG_IGN) sigdelset(&reset, signal);", "current.sa_handler == SIG_IGN) {}",
     "closing_and_signals_leave_nothing", "under nohup a hangup still ends the encoder"),
]

def run(cmd, cwd, timeout=900):
    return subprocess.run(cmd, cwd=cwd, shell=True, capture_output=True, text=True, timeout=timeout)

def main():
    scratch = sys.argv[1] if len(sys.argv) > 1 else "/tmp/tunvask-mutants"
    source = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    if not os.path.isdir(scratch):
        run(f"git clone -q '{source}' '{scratch}'", "/")
    run("cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNVASK_TESTS=ON >/dev/null && cmake --build build -j2",
        scratch, 3600)
    chosen = [f for f in FAULTS if len(sys.argv) < 3 or any(w in f[4] for w in sys.argv[2:])]
    caught = 0
    for path, old, new, tests, what in chosen:
        file = os.path.join(scratch, path)
        text = open(file, encoding="utf-8").read()
        if old not in text:
            print(f"NOT PLANTED  {what} ({path})", flush=True)
            continue
        open(file, "w", encoding="utf-8").write(text.replace(old, new, 1))
        try:
            build = run("cmake --build build -j2", scratch, 1800)
            if build.returncode != 0:
                verdict = "caught (does not build)"
            else:
                result = run(f"QT_QPA_PLATFORM=offscreen ctest --test-dir build -R '{tests}' -j2 --timeout 120", scratch)
                if "No tests were found" in result.stdout:
                    verdict = "NO TESTS"
                else:
                    verdict = "caught" if result.returncode != 0 else "MISSED"
        except subprocess.TimeoutExpired:
            verdict = "caught (timed out)"
        finally:
            open(file, "w", encoding="utf-8").write(text)
        caught += verdict.startswith("caught")
        print(f"{verdict:24} {what} ({path}; {tests})", flush=True)
    print(f"{caught} of {len(chosen)} planted faults made a test fail", flush=True)
    run("cmake --build build -j2", scratch, 3600)

if __name__ == "__main__":
    main()
