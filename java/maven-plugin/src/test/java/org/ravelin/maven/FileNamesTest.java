package org.ravelin.maven;

import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.ValueSource;

class FileNamesTest {
    @ParameterizedTest
    @ValueSource(strings = {"Shop", "My Shop", "shop-2.3", "Ärger", "a.b.c", ".hidden", "CONSOLE", "COM10", "LPTX",
        "con-tool"})
    void aWindowsFileNameIsTaken(String name) {
        assertNull(FileNames.problem(name), name);
    }

    @ParameterizedTest
    @CsvSource(delimiter = '|', value = {"''|is empty", ".|a folder of the path", "..|a folder of the path",
        "../Evil|path separator (/)", "a\\b|path separator (\\)", "Gr:eet|holds :", "a<b|holds <", "a>b|holds >",
        "a\"b|holds \"", "'a|b'|'holds |'", "what?|holds ?", "a*|holds *", "Shop.|ends with a dot",
        "'Shop '|ends with a blank", "CON|device name CON", "con|device name CON", "nul.txt|device name NUL",
        "Aux.tar.gz|device name AUX", "COM1|device name COM1", "lpt9.exe|device name LPT9", "COM\u00b9|device name",
        "CONIN$|device name CONIN$", "tab\there|control character U+0009"})
    void aNameWindowsCannotHoldIsRefusedSayingWhy(String name, String reason) {
        final String problem = FileNames.problem(name);
        assertTrue(problem != null && problem.contains(reason), name + ": " + problem);
    }
}
