package com.example.shop;

import java.nio.file.Path;

import org.ravelin.launcher.LaunchContext;

/** An application that the launcher starts through RavelinMain, and that its tests build a context for. */
public final class Shop {
    private Shop() {}

    public static void main(String[] args) {
        final LaunchContext context = LaunchContext.current()
                .orElseThrow(() -> new IllegalStateException("start Shop through Shop.exe"));
        System.out.println("database: " + database(context));
    }

    static Path database(LaunchContext context) {
        return context.resolve(context.settings().find("shop.database").orElse("shop.db"));
    }

    static Path databaseForTests() {
        return database(LaunchContext.builder().setting("shop.database", "data/shop.db").build());
    }
}
