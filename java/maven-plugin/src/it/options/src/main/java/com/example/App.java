package com.example;

/** The application. */
public final class App {
    private App() {}

    public static void main(String[] args) {
        System.out.println("App");
    }
}
