package com.example.shop;

import org.apache.commons.lang3.StringUtils;

/** The application: greets in upper case, with a class of its runtime dependency. */
public final class Shop {
    private Shop() {}

    /**
     * Prints a greeting.
     *
     * @param args the words to greet
     */
    public static void main(String[] args) {
        System.out.println("Shop: " + StringUtils.upperCase(String.join(" ", args)));
    }
}
