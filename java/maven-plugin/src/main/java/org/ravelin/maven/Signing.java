package org.ravelin.maven;

import java.io.File;

/**
 * How the goal signs the executables it writes, before it zips them, with osslsigncode (Authenticode): a PKCS#12
 * keystore ({@code keystore}, {@code storepass}), or a key on a token through a PKCS#11 module
 * ({@code pkcs11Module}, {@code pkcs11Certificate}, {@code key}, with the PIN as {@code storepass}); a timestamp
 * server ({@code timestampServer}, RFC 3161) keeps the signature valid after the certificate expires.
 */
public class Signing {
    /** A PKCS#12 keystore with the signing key and its certificate chain. */
    File keystore;
    /** The keystore's password, or the token's PIN. */
    String storepass;
    /** A PKCS#11 module (its shared library) for a key on a token. */
    String pkcs11Module;
    /** The certificate of the token's key: a file, or a PKCS#11 URI. */
    String pkcs11Certificate;
    /** The token's key, as a PKCS#11 URI. */
    String key;
    /** The address of an RFC 3161 timestamp server. */
    String timestampServer;
    /** The signing program; osslsigncode from the path when not set. */
    String tool;

    /** @return what is missing or contradictory, or {@code null} when the configuration can sign */
    String problem() {
        if (keystore != null && pkcs11Module != null) {
            return "names both a <keystore> and a <pkcs11Module>: give one";
        }
        if (keystore != null) {
            return keystore.isFile() ? null : "<keystore> " + keystore + " is not a file";
        }
        if (pkcs11Module != null) {
            if (key == null || pkcs11Certificate == null) {
                return "<pkcs11Module> needs the token's <key> and its <pkcs11Certificate>";
            }
            return null;
        }
        return "names no <keystore> and no <pkcs11Module>";
    }
}
