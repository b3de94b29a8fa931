package com.example.shop;

/** The application: says what it was given. */
public final class Shop {
    private Shop() {}

    public static void main(String[] args) {
        System.out.println("Shop: " + String.join(" ", args));
    }
}
