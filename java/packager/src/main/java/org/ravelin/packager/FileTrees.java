package org.ravelin.packager;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.util.Collections;
import java.util.List;
import java.util.stream.Collectors;
import java.util.stream.Stream;

/** Folders the build tools make and replace. */
public final class FileTrees {
    private FileTrees() {}

    /**
     * Deletes the folder with everything in it (a link in it is deleted, not followed); nothing when there is none.
     *
     * @param folder the folder
     * @throws IOException when something cannot be deleted
     */
    public static void delete(Path folder) throws IOException {
        if (!Files.exists(folder, LinkOption.NOFOLLOW_LINKS)) {
            return;
        }
        final List<Path> paths;
        try (Stream<Path> walk = Files.walk(folder)) {
            paths = walk.collect(Collectors.toList());
        }
        Collections.reverse(paths);
        for (Path path : paths) {
            Files.delete(path);
        }
    }
}
